// Stand-in for shell32's ShellExecuteA with the verbs "open" and "explore".
//
// "open" on a web or mail address, a document or a folder hands it to the
// desktop (xdg-open, or gio open where xdg-open is missing); "open" on a
// program (a command found on PATH, or an executable file) runs it with the
// parameters; "explore" opens a folder in the desktop's file manager.
//
// The helper runs detached from this process. The call waits a short, bounded
// time (SHELL_HELPER_WAIT_MS) for the desktop helper's exit status, so that a
// helper that fails (no application handles the type, "Operation not
// supported") is a failure here; a helper still running after that time has
// handed the target on and counts as success. A program started with "open"
// is not waited for. Results follow ShellExecuteA: above 32 is success, the
// failures are the small Windows codes below; nothing here throws or ends the
// program. The calling thread is blocked for at most that time.
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
#define SE_ERR_NOASSOC 31           // unknown verb, no desktop helper installed, or the helper failed
// What a successful call returns (any value above 32 means success).
#define SE_OK_STARTED 42

// How long a call waits for the desktop helper's verdict.
constexpr int SHELL_HELPER_WAIT_MS = 2000;

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

// The full path of the executable file called name in the first of PATH's
// folders that holds one (PATH unset: /usr/local/bin, /usr/bin, /bin); empty
// when there is none, or when name is empty or holds a '/'. Only absolute
// entries are searched: an empty entry, "." or another relative one would be
// the current folder, from which nothing is ever run. Reads PATH at the call.
std::string FindProgramOnPath(const std::string& name);
