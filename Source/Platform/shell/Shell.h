// Stand-in for shell32's ShellExecuteA with the verbs "open" and "explore".
//
// "open" on a web or mail address, a document or a folder hands it to the
// desktop (xdg-open, or gio open where xdg-open is missing); "open" on a
// program (a command found on PATH, or an executable file) runs it with the
// parameters; "explore" opens a folder in the desktop's file manager.
//
// The call never waits for the desktop: it returns as soon as the helper has
// been started, detached from this process. A helper that fails later (for
// example when no application handles the type) is therefore not seen here.
// Results follow ShellExecuteA: above 32 is success, the failures are the
// small Windows codes below; nothing here throws or ends the program.
//
// Any thread may call ShellExecuteA. Tests replace the whole service with
// SetShellHandler.
#pragma once
#include "windef.h"

#include <cstdint>
#include <functional>
#include <string>

typedef intptr_t INT_PTR;

#ifndef SW_SHOWNORMAL
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#endif

// Failure results of ShellExecuteA (the values Windows uses).
#define SE_ERR_OOM_OR_RESOURCES 0   // the helper process could not be started
#define SE_ERR_FNF 2                // file not found
#define SE_ERR_PNF 3                // path not found (folder missing, or not a folder)
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_BAD_FORMAT 11        // the program file cannot be run
#define SE_ERR_NOASSOC 31           // unknown verb, or no desktop helper installed
// What a successful call returns (any value above 32 means success).
#define SE_OK_STARTED 42

struct ShellRequest
{
    std::string verb;        // "open" when the caller gave none
    std::string file;
    std::string parameters;  // for programs: their command line after the name
    std::string directory;   // working directory of the started process, or empty
    int nShowCmd;            // accepted and ignored: the desktop decides how windows appear
};

using ShellHandler = std::function<INT_PTR(const ShellRequest&)>;

// Installs a replacement for the desktop service and returns the previous
// one; an empty handler restores the desktop service.
ShellHandler SetShellHandler(ShellHandler handler);

INT_PTR ShellExecuteA(HWND hWnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                      int nShowCmd);

// The desktop service itself, whatever handler is installed.
INT_PTR DesktopShellExecute(const ShellRequest& request);
