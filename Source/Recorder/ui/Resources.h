// The program's small resources by number, as the dialogs and menus name them:
// bitmaps (drawn in code, so no binary files ship) and strings.
// Main thread only: bitmaps need the window system.
#pragma once
#include <wx/bitmap.h>

#include <functional>
#include <string>

// The bitmap registered under the number, or an invalid bitmap when none is.
wxBitmap LoadBitmapResource(unsigned nId);
// Adds or replaces a bitmap; the maker runs on first use.
void RegisterBitmapResource(unsigned nId, std::function<wxBitmap()> maker);

// The string registered under the number, or an empty string.
std::string LoadStringResource(unsigned nId);
void RegisterStringResource(unsigned nId, const std::string& text);
