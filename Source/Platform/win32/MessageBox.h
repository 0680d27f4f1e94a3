// Stand-in for user32's MessageBoxA.
//
// The program installs one handler at start-up: a wx dialog in the program,
// standard error in command-line tools, a recorder in tests. Called on a
// worker thread, the handler must not block: the program posts the dialog to
// the main thread and returns at once.
// Thread-safe: any thread may call MessageBoxA.
#pragma once
#include "windef.h"

#include <functional>
#include <string>

#define MB_OK 0x00000000u
#define MB_ICONHAND 0x00000010u
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1

// The caption every message of the program carries.
#define APP_CAPTION "Vorane Audio Recorder"

struct MessageBoxRequest
{
    HWND hOwner;
    std::string text;
    std::string caption;
    UINT type;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Installs the handler and returns the previous one. Without a handler,
// messages go to standard error.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

int MessageBoxA(HWND hWnd, const char* lpText, const char* lpCaption, UINT uType);

// Shows a message of the program: no owner, the program's caption, stop icon.
void ShowAppError(const char* text);
