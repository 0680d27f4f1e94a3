// Window tests: one private X display (Xvfb with openbox) and one wx
// application per test program, plus ways to drive and read the screen:
// xdotool for the mouse and keys, X pixels for what is drawn.
#pragma once
#include "XDisplay.h"

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

#include <functional>
#include <string>

CXDisplay& UiDisplay();

// Runs the wx events until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int nTimeoutMs = 20000);
// Destroys the top-level window and waits until no top-level window is left.
void DestroyAndWait(wxWindow* pWindow);

// True when the screen pixel has the colour (each channel within the tolerance). Safe from any thread.
bool PixelIs(const wxPoint& screen, const wxColour& colour, int nTolerance = 0);
// Counts the pixels of a screen rectangle that satisfy the test.
int CountPixels(const wxRect& screen, const std::function<bool(const wxColour&)>& test);
// Polls the screen without running wx events (for threads that drive a modal loop).
bool WaitForPixelFromThread(const wxPoint& screen, const wxColour& colour, int nTimeoutMs = 10000);

// xdotool with the given arguments; true when it succeeded.
bool Xdo(const std::string& args);
bool MoveMouse(const wxPoint& screen);
bool ClickAt(const wxPoint& screen);

// Saves a screenshot as <name>.png in the test binary folder and returns the path.
std::string SaveScreenshot(const std::string& name);

bool SameColour(const wxColour& a, const wxColour& b, int nTolerance = 0);
inline double Luma(const wxColour& c) { return 0.299 * c.Red() + 0.587 * c.Green() + 0.114 * c.Blue(); }
