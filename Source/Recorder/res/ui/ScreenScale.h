// The factor GTK scales the screen's windows by: 1, or 2 on a desktop that doubles them
// (GDK_SCALE=2). Pictures drawn in code for a window without one at hand are drawn for it.
#pragma once
#include <algorithm>
#include <wx/display.h>

inline double ScreenScaleFactor()
{
    // GTK scales every monitor of a screen alike.
    return wxDisplay::GetCount() > 0 ? std::max(1.0, wxDisplay(0u).GetScaleFactor()) : 1.0;
}
