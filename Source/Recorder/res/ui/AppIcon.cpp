#include "AppIcon.h"

#include <cmath>
#include <memory>
#include <vector>
#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/pen.h>
#include <wx/graphics.h>
#include <wx/image.h>

wxIcon MakeAppIcon(int nSize)
{
    // Drawn on a transparent image so the corners stay see-through.
    wxImage image(nSize, nSize);
    image.InitAlpha();
    std::fill(image.GetAlpha(), image.GetAlpha() + nSize * nSize, 0);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
    if (gc)
    {
        const double s = nSize / 48.0;
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(wxBrush(wxColour(32, 36, 52)));
        gc->DrawRoundedRectangle(1 * s, 1 * s, 46 * s, 46 * s, 9 * s);

        // The trace: one period of a sine across the lower half.
        wxGraphicsPath trace = gc->CreatePath();
        for (int i = 0; i <= 40; ++i)
        {
            const double x = (4 + i) * s;
            const double y = (33 + 7 * std::sin(i * 2 * M_PI / 20.0)) * s;
            if (i == 0)
                trace.MoveToPoint(x, y);
            else
                trace.AddLineToPoint(x, y);
        }
        gc->SetPen(wxPen(wxColour(255, 237, 41), std::max(1, static_cast<int>(std::lround(2.5 * s)))));
        gc->StrokePath(trace);

        gc->SetPen(wxPen(wxColour(255, 255, 255), std::max(1, static_cast<int>(std::lround(2 * s)))));
        gc->SetBrush(wxBrush(wxColour(220, 40, 40)));
        gc->DrawEllipse(14 * s, 5 * s, 20 * s, 20 * s);
        gc.reset();
    }
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

wxIconBundle MakeAppIcons(double dScale)
{
    wxIconBundle icons;
    for (int nSize : {16, 32, 48})
    {
        icons.AddIcon(MakeAppIcon(nSize));
        if (dScale > 1.0)
            icons.AddIcon(MakeAppIcon(static_cast<int>(std::lround(nSize * dScale))));
    }
    return icons;
}
