#include "HoverColors.h"

#include <algorithm>

CHoverColors::CHoverColors(HoverRgb face, HoverRgb text)
{
    for (int i = 0; i < BTNST_MAX_COLORS; ++i)
        m_colors[static_cast<size_t>(i)] = (i % 2 == 0) ? face : text;
}

int CHoverColors::SetColor(int nIndex, HoverRgb colour)
{
    if (nIndex < 0 || nIndex >= BTNST_MAX_COLORS)
        return BTNST_INVALIDINDEX;
    m_colors[static_cast<size_t>(nIndex)] = colour;
    return BTNST_OK;
}

int CHoverColors::OffsetColor(int nIndex, int nOffset)
{
    if (nIndex < 0 || nIndex >= BTNST_MAX_COLORS)
        return BTNST_INVALIDINDEX;
    if (nOffset < -255 || nOffset > 255)
        return BTNST_BADPARAM;
    HoverRgb& c = m_colors[static_cast<size_t>(nIndex)];
    if (nOffset > 0)
        nOffset = std::min({nOffset, 255 - c.r, 255 - c.g, 255 - c.b});
    else if (nOffset < 0)
        nOffset = -std::min({-nOffset, int(c.r), int(c.g), int(c.b)});
    c.r = static_cast<uint8_t>(c.r + nOffset);
    c.g = static_cast<uint8_t>(c.g + nOffset);
    c.b = static_cast<uint8_t>(c.b + nOffset);
    return BTNST_OK;
}
