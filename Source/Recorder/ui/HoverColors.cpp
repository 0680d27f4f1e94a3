#include "HoverColors.h"

#include <algorithm>
#include <cmath>

namespace
{
double Linear(uint8_t channel)
{
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(HoverRgb c)
{
    return 0.2126 * Linear(c.r) + 0.7152 * Linear(c.g) + 0.0722 * Linear(c.b);
}

HoverRgb Mix(HoverRgb from, HoverRgb to, int nPercent)
{
    auto mix = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a + (b - a) * nPercent / 100); };
    return HoverRgb{mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b)};
}
}  // namespace

double ContrastRatio(HoverRgb a, HoverRgb b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

HoverRgb ReadableOn(HoverRgb text, HoverRgb back)
{
    if (ContrastRatio(text, back) >= READABLE_CONTRAST)
        return text;
    const HoverRgb black{0, 0, 0}, white{255, 255, 255};
    const HoverRgb toward = ContrastRatio(black, back) >= ContrastRatio(white, back) ? black : white;
    int nPercent = 0;
    while (nPercent < 100 && ContrastRatio(Mix(text, toward, nPercent), back) < READABLE_CONTRAST)
        ++nPercent;
    return Mix(text, toward, nPercent);
}

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

HoverRgb CHoverColors::GetColor(int nIndex) const
{
    const HoverRgb colour = m_colors[static_cast<size_t>(nIndex)];
    // Slots alternate background, text: a text's background is the slot before it.
    return nIndex % 2 == 0 ? colour : ReadableOn(colour, m_colors[static_cast<size_t>(nIndex - 1)]);
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
