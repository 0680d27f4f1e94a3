#include "StaticLink.h"

#include "ControlSwap.h"
#include "HoverColors.h"
#include "Resources.h"

#include <wx/utils.h>

const wxColour CStaticLink::g_colorUnvisited(0, 0, 255);
const wxColour CStaticLink::g_colorVisited(128, 0, 128);
const wxColour CStaticLink::g_colorOver(255, 0, 0);

// Loaded once and kept; where the cursor theme has no hand, the normal cursor stays.
const wxCursor& CStaticLink::GetLinkCursor()
{
    static const wxCursor hand(wxCURSOR_HAND);
    return hand.IsOk() ? hand : *wxSTANDARD_CURSOR;
}

CStaticLink::CStaticLink(const char* lpText, bool bDeleteOnDestroy)
    : m_link(lpText), m_bDeleteOnDestroy(bDeleteOnDestroy), m_timer(this, kTimerId)
{
}

bool CStaticLink::Create(wxWindow* pParent, wxWindowID id, const wxString& label, const wxPoint& pos,
                         const wxSize& size, long style)
{
    if (!wxGenericStaticText::Create(pParent, id, label, pos, size, style))
        return false;
    Init();
    return true;
}

wxColour CStaticLink::ShownOn(const wxColour& back, const wxColour& colour)
{
    if (!back.IsOk() || !colour.IsOk())
        return colour;
    const HoverRgb shown = ReadableOn({colour.Red(), colour.Green(), colour.Blue()}, {back.Red(), back.Green(), back.Blue()});
    return wxColour(shown.r, shown.g, shown.b);
}

wxColour CStaticLink::GetShownColor() const
{
    return ShownOn(GetParent() ? GetParent()->GetBackgroundColour() : wxColour(), m_color);
}

void CStaticLink::Init()
{
    SetForegroundColour(GetShownColor());
    SetCursor(GetLinkCursor());
    Bind(wxEVT_MOTION, &CStaticLink::OnMouseMove, this);
    Bind(wxEVT_ENTER_WINDOW, &CStaticLink::OnMouseMove, this);
    Bind(wxEVT_LEFT_DOWN, &CStaticLink::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CStaticLink::OnLeftUp, this);
    Bind(wxEVT_TIMER, &CStaticLink::OnTimer, this, kTimerId);
    Bind(wxEVT_PAINT, &CStaticLink::OnPaint, this);
}

void CStaticLink::OnPaint(wxPaintEvent& event)
{
    // A skin colours the dialog when it is realized, after the links were made: the
    // colour follows the background the link is painted on now.
    const wxColour shown = GetShownColor();
    if (shown != GetForegroundColour())
        SetForegroundColour(shown);
    event.Skip();
}

bool CStaticLink::SubclassDlgItem(int nID, wxWindow* pParent)
{
    wxWindow* pOld = pParent ? pParent->FindWindow(nID) : nullptr;
    if (!pOld || pOld == this || GetHandle())
        return false;
    long align = pOld->GetWindowStyle() & (wxALIGN_LEFT | wxALIGN_CENTER_HORIZONTAL | wxALIGN_RIGHT);
    if (!Create(pOld->GetParent(), nID, pOld->GetLabel(), pOld->GetPosition(), pOld->GetSize(),
                align | wxST_NO_AUTORESIZE))
        return false;
    SetFont(pOld->GetFont());
    ReplaceDialogControl(pOld, this);
    return true;
}

void CStaticLink::SetColor(const wxColour& colour)
{
    m_color = colour;
    SetForegroundColour(GetShownColor());
    Refresh();
}

void CStaticLink::OnMouseMove(wxMouseEvent& event)
{
    if (!m_bOverControl)
    {
        m_bOverControl = true;
        SetColor(g_colorOver);
        m_timer.Start(100);
    }
    event.Skip();
}

void CStaticLink::OnTimer(wxTimerEvent&)
{
    if (GetScreenRect().Contains(wxGetMousePosition()))
        return;
    m_bOverControl = false;
    m_timer.Stop();
    SetColor(g_colorUnvisited);
}

std::string CStaticLink::ResolveLink() const
{
    if (!m_link.empty())
        return m_link;
    std::string link = LoadStringResource(static_cast<unsigned>(GetId()));
    if (link.empty())
        link = wxControl::RemoveMnemonics(GetLabel()).utf8_string();
    return link;
}

void CStaticLink::OnLeftDown(wxMouseEvent& event)
{
    m_bPressed = true;
    event.Skip();
}

void CStaticLink::OnLeftUp(wxMouseEvent& event)
{
    event.Skip();
    if (!m_bPressed)
        return;
    m_bPressed = false;
    if (!wxRect(GetClientSize()).Contains(event.GetPosition()))
        return;
    std::string link = ResolveLink();
    if (link.empty())
        return;
    if (CHyperlink(link.c_str()).Navigate() > 32)
        SetColor(g_colorVisited);
    else
        wxBell();
}
