// The 16 by 16 bitmaps of the main window's popup menu, drawn in code for the screen's scale factor.
#pragma once
#include <wx/bitmap.h>

#include <functional>
#include <vector>

struct MenuBitmapSpec
{
    unsigned nId;                      // the resource number the menu asks for
    std::function<wxBitmap()> maker;
};

const std::vector<MenuBitmapSpec>& MenuBitmapTable();
