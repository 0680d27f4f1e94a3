// The six colours of a hover button and the rules for changing them, kept
// apart from the window so the rules can be checked without a display.
// Main thread only.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

struct HoverRgb
{
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const HoverRgb&) const = default;
};

// The least contrast a text keeps against its background (the usual 4.5:1 for body text).
constexpr double READABLE_CONTRAST = 4.5;
// The contrast of two colours, 1 to 21, from their relative luminances (sRGB).
double ContrastRatio(HoverRgb a, HoverRgb b);
// The text colour itself when it reads well enough on the background; else the text moved
// toward black (on a light background) or white (on a dark one) just far enough, so a
// green stays a green. Every background has such a colour: black or white reach 4.58:1.
HoverRgb ReadableOn(HoverRgb text, HoverRgb back);

class CHoverColors
{
public:
    // Colour slots, in this order.
    enum
    {
        BTNST_COLOR_BK_IN = 0,     // background while the mouse is over the button
        BTNST_COLOR_FG_IN = 1,     // text while the mouse is over the button
        BTNST_COLOR_BK_OUT = 2,    // background otherwise
        BTNST_COLOR_FG_OUT = 3,    // text otherwise
        BTNST_COLOR_BK_FOCUS = 4,  // background while focused
        BTNST_COLOR_FG_FOCUS = 5,  // text while focused
        BTNST_MAX_COLORS = 6
    };
    // Results of SetColor and OffsetColor.
    enum
    {
        BTNST_OK = 0,
        BTNST_INVALIDINDEX = 3,
        BTNST_BADPARAM = 5
    };

    // Backgrounds start as the button face, texts as the button text.
    CHoverColors(HoverRgb face, HoverRgb text);

    int SetColor(int nIndex, HoverRgb colour);
    // Adds the offset (-255 to 255) to red, green and blue alike, first
    // shrinking it so that none of the three leaves 0 to 255.
    int OffsetColor(int nIndex, int nOffset);
    // A background as set; a text as it is drawn: ReadableOn its state's background, so
    // a hover text chosen for one face stays readable on every skin's face.
    HoverRgb GetColor(int nIndex) const;

private:
    std::array<HoverRgb, BTNST_MAX_COLORS> m_colors;
};
