// The about box's picture, drawn in code: a night-blue band with a record
// button, the product name and a sound wave. Main thread only.
#pragma once
#include <wx/bitmap.h>

// The number the about box loads it by.
constexpr unsigned IDB_ABOUT_PICTURE = 130;
constexpr int ABOUT_PICTURE_WIDTH = 326;
constexpr int ABOUT_PICTURE_HEIGHT = 150;

// 326 by 150 pixels, 24 bits per pixel.
wxBitmap DrawAboutPicture();
