// The one window class of the program ("Vorane.MainDlg"): the window manager, the
// desktop and a second instance find the program's windows by it.
//
// Threads: main thread only.
#pragma once

extern const char* const PROGRAM_WINDOW_CLASS;

// From now on every top-level window the program makes carries the class, also those
// opened later; until StopWindowClass.
void UseWindowClass();
void StopWindowClass();
