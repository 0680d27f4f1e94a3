#include "AboutPicture.h"

#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/string.h>
#include <wx/graphics.h>

#include <cmath>
#include <memory>

namespace
{
// The largest size of the face at which the text fits the box: the picture is
// pixels, whatever scale the desktop gives its text.
void SetFittingFont(wxGraphicsContext& gc, const wxString& text, double dWidth, double dHeight, bool bBold,
                    const wxColour& colour)
{
    for (int nPoints = 40; nPoints >= 4; --nPoints)
    {
        wxFontInfo info(nPoints);
        info.Family(wxFONTFAMILY_SWISS).Bold(bBold);
        gc.SetFont(wxFont(info), colour);
        double w = 0, h = 0;
        gc.GetTextExtent(text, &w, &h);
        if (w <= dWidth && h <= dHeight)
            return;
    }
}
}  // namespace

wxBitmap DrawAboutPicture()
{
    const int w = ABOUT_PICTURE_WIDTH, h = ABOUT_PICTURE_HEIGHT;
    wxBitmap bitmap(w, h, 24);
    wxMemoryDC dc(bitmap);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (!gc)
        return bitmap;
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);

    // Night blue at the top to a deep teal at the bottom.
    gc->SetBrush(gc->CreateLinearGradientBrush(0, 0, 0, h, wxColour(14, 30, 66), wxColour(18, 92, 120)));
    gc->DrawRectangle(0, 0, w, h);

    // The sound wave along the bottom: a bar per 4 pixels, its height a few mixed tones
    // under a swelling and fading envelope, brighter towards the middle.
    const double baseline = 112;
    for (int x = 6; x < w - 6; x += 4)
    {
        const double u = static_cast<double>(x) / w;
        const double envelope = std::sin(M_PI * u) * (0.55 + 0.45 * std::sin(7.0 * u + 0.6));
        const double tone = 0.6 * std::fabs(std::sin(23.0 * u)) + 0.4 * std::fabs(std::sin(61.0 * u + 1.3));
        const double half = 2 + 26 * envelope * tone;
        const unsigned char light = static_cast<unsigned char>(150 + 90 * std::sin(M_PI * u));
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(wxBrush(wxColour(90, light, 230, 220)));
        gc->DrawRoundedRectangle(x, baseline - half, 2.6, 2 * half, 1.2);
    }
    gc->SetPen(wxPen(wxColour(140, 210, 240, 90), 1));
    gc->StrokeLine(6, baseline, w - 6, baseline);

    // The record button: a red disc in a light ring, with a highlight.
    const double cx = 44, cy = 46;
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->SetBrush(wxBrush(wxColour(230, 236, 245)));
    gc->DrawEllipse(cx - 27, cy - 27, 54, 54);
    gc->SetBrush(gc->CreateRadialGradientBrush(cx - 6, cy - 7, cx, cy, 24, wxColour(255, 110, 100), wxColour(190, 20, 20)));
    gc->DrawEllipse(cx - 22, cy - 22, 44, 44);
    gc->SetBrush(wxBrush(wxColour(255, 255, 255, 110)));
    gc->DrawEllipse(cx - 13, cy - 15, 11, 8);

    // The name beside it.
    SetFittingFont(*gc, "Vorane", 170, 40, true, wxColour(255, 255, 255));
    gc->DrawText("Vorane", 84, 16);
    SetFittingFont(*gc, "Audio Recorder", 150, 21, false, wxColour(170, 220, 245));
    gc->DrawText("Audio Recorder", 86, 54);

    gc.reset();
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}
