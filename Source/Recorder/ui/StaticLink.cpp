#include "StaticLink.h"

#include "ControlSwap.h"
#include "HoverColors.h"
#include "Resources.h"
#include "WindowSystem.h"

#include <wx/dcclient.h>
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

void CStaticLink::SetLink(const char* lpLink)
{
    m_link = CHyperlink(lpLink);
    // Drawn by us, so a screen reader learns from here that it is a link, and where it goes.
    SetAccessibleText(GetHandle(), AccessibleRole::Link, GetLabelText().utf8_string().c_str(), m_link.c_str());
}

void CStaticLink::Init()
{
    SetForegroundColour(GetShownColor());
    SetCursor(GetLinkCursor());
    SetLink(m_link.c_str());
    Bind(wxEVT_MOTION, &CStaticLink::OnMouseMove, this);
    Bind(wxEVT_ENTER_WINDOW, &CStaticLink::OnMouseMove, this);
    Bind(wxEVT_LEFT_DOWN, &CStaticLink::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CStaticLink::OnLeftUp, this);
    Bind(wxEVT_TIMER, &CStaticLink::OnTimer, this, kTimerId);
    Bind(wxEVT_PAINT, &CStaticLink::OnPaint, this);
    Bind(wxEVT_KEY_DOWN, &CStaticLink::OnKeyDown, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) { Refresh(); event.Skip(); });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) { Refresh(); event.Skip(); });
    // The toolkit knows no mnemonics of a window it does not draw: the window's keys are watched here.
    m_pTop = wxGetTopLevelParent(this);
    if (m_pTop)
        m_pTop->Bind(wxEVT_CHAR_HOOK, &CStaticLink::OnTopLevelKey, this);
}

CStaticLink::~CStaticLink()
{
    if (m_pTop)
        m_pTop->Unbind(wxEVT_CHAR_HOOK, &CStaticLink::OnTopLevelKey, this);
}

void CStaticLink::OnPaint(wxPaintEvent&)
{
    // A skin colours the dialog when it is realized, after the links were made: the
    // colour follows the background the link is painted on now.
    const wxColour shown = GetShownColor();
    if (shown != GetForegroundColour())
        SetForegroundColour(shown);
    wxPaintDC dc(this);
    dc.SetFont(GetFont());
    dc.SetTextForeground(shown);
    const wxRect rect(GetClientSize());
    const wxString label = GetLabel();
    dc.DrawLabel(wxControl::RemoveMnemonics(label), rect, GetAlignment(), wxControl::FindAccelIndex(label));
    if (HasFocus())
    {
        // Keyboard users see which link Enter opens.
        dc.SetPen(wxPen(shown, 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(rect);
    }
}

wxSize CStaticLink::DoGetBestClientSize() const
{
    wxClientDC dc(const_cast<CStaticLink*>(this));
    dc.SetFont(GetFont());
    return dc.GetMultiLineTextExtent(wxControl::RemoveMnemonics(GetLabel()));
}

void CStaticLink::OnKeyDown(wxKeyEvent& event)
{
    const int nKey = event.GetKeyCode();
    if (event.HasAnyModifiers() || (nKey != WXK_SPACE && nKey != WXK_RETURN && nKey != WXK_NUMPAD_ENTER))
        return event.Skip();
    Open();
}

void CStaticLink::OnTopLevelKey(wxKeyEvent& event)
{
    const int nAccel = wxControl::FindAccelIndex(GetLabel());
    const wxString text = wxControl::RemoveMnemonics(GetLabel());
    if (nAccel < 0 || event.GetModifiers() != wxMOD_ALT || !IsShownOnScreen() || !IsEnabled() ||
        wxToupper(event.GetKeyCode()) != wxToupper(text[static_cast<size_t>(nAccel)]))
        return event.Skip();
    // As a button's mnemonic clicks it, the link's opens it.
    SetFocus();
    Open();
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
    Open();
}

void CStaticLink::Open()
{
    std::string link = ResolveLink();
    if (link.empty())
        return;
    if (CHyperlink(link.c_str()).Navigate() > 32)
        SetColor(g_colorVisited);
    else
        wxBell();
}
