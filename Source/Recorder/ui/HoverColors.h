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
    HoverRgb GetColor(int nIndex) const { return m_colors[static_cast<size_t>(nIndex)]; }

private:
    std::array<HoverRgb, BTNST_MAX_COLORS> m_colors;
};
