// The one window class of the program, its app id ("org.vorane.Recorder", the name of its
// desktop entry): the window manager, the desktop and the tests find the program's windows by it.
//
// Threads: main thread only.
#pragma once

extern const char* const PROGRAM_WINDOW_CLASS;

// From now on every top-level window the program makes carries the class, also those
// opened later; until StopWindowClass.
void UseWindowClass();
void StopWindowClass();
