// Window tests: one private X display and wx application per program; xdotool drives, X pixels read.
#pragma once
#include "XDisplay.h"

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

#include <functional>
#include <string>

CXDisplay& UiDisplay();

bool WaitUntil(const std::function<bool()>& condition, int nTimeoutMs = 20000);
void DestroyAndWait(wxWindow* pWindow);

// True when the screen pixel has the colour (each channel within the tolerance). Safe from any thread.
bool PixelIs(const wxPoint& screen, const wxColour& colour, int nTolerance = 0);
int CountPixels(const wxRect& screen, const std::function<bool(const wxColour&)>& test);
// Polls the screen without running wx events (for threads that drive a modal loop).
bool WaitForPixelFromThread(const wxPoint& screen, const wxColour& colour, int nTimeoutMs = 10000);

bool Xdo(const std::string& args);
bool MoveMouse(const wxPoint& screen);
bool ClickAt(const wxPoint& screen);

// Saves <name>.png in the test binary folder and returns the path.
std::string SaveScreenshot(const std::string& name);

bool SameColour(const wxColour& a, const wxColour& b, int nTolerance = 0);
inline double Luma(const wxColour& c) { return 0.299 * c.Red() + 0.587 * c.Green() + 0.114 * c.Blue(); }
