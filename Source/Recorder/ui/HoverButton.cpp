#include "HoverButton.h"

#include "ControlSwap.h"
#include "WindowSystem.h"

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>
#include <wx/settings.h>
#include <wx/toplevel.h>


#include <algorithm>
#include <memory>

namespace
{
HoverRgb ToRgb(const wxColour& c)
{
    return HoverRgb{c.Red(), c.Green(), c.Blue()};
}

wxColour ToColour(HoverRgb c)
{
    return wxColour(c.r, c.g, c.b);
}

// Our drawing replaces the theme's.
void DrawButton(void* pUser, void* pCairo)
{
    static_cast<CHoverButton*>(pUser)->PaintNative(pCairo);
}
}  // namespace

CHoverButton::CHoverButton()
    : m_colors(ToRgb(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)),
               ToRgb(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT)))
{
}

CHoverButton::CHoverButton(wxWindow* pParent, wxWindowID id, const wxString& label, const wxPoint& pos,
                           const wxSize& size, long style)
    : CHoverButton()
{
    Create(pParent, id, label, pos, size, style);
}

bool CHoverButton::Create(wxWindow* pParent, wxWindowID id, const wxString& label, const wxPoint& pos,
                          const wxSize& size, long style)
{
    if (!wxButton::Create(pParent, id, label, pos, size, style))
        return false;
    Init();
    return true;
}

void CHoverButton::Init()
{
    ReplaceNativePaint(GetHandle(), &DrawButton, this);
    Bind(wxEVT_ENTER_WINDOW, &CHoverButton::OnEnter, this);
    Bind(wxEVT_MOTION, &CHoverButton::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CHoverButton::OnLeave, this);
    Bind(wxEVT_SET_FOCUS, &CHoverButton::OnFocus, this);
    Bind(wxEVT_KILL_FOCUS, &CHoverButton::OnFocus, this);
}

bool CHoverButton::SubclassDlgItem(int nID, wxWindow* pParent)
{
    wxWindow* pOld = pParent ? pParent->FindWindow(nID) : nullptr;
    if (!pOld || pOld == this || GetHandle())
        return false;
    if (!Create(pOld->GetParent(), nID, pOld->GetLabel(), pOld->GetPosition(), pOld->GetSize()))
        return false;
    SetFont(pOld->GetFont());
    wxTopLevelWindow* pTop = wxDynamicCast(wxGetTopLevelParent(pOld), wxTopLevelWindow);
    bool bDefault = pTop && pTop->GetDefaultItem() == pOld;
    ReplaceDialogControl(pOld, this);
    if (bDefault)
        SetDefault();
    return true;
}

int CHoverButton::SetColor(int nIndex, const wxColour& colour, bool bRepaint)
{
    int nResult = m_colors.SetColor(nIndex, ToRgb(colour));
    if (nResult != BTNST_OK)
        return nResult;
    m_bOwnColor[static_cast<size_t>(nIndex)] = true;
    m_nOffset[static_cast<size_t>(nIndex)] = 0;
    if (bRepaint && GetHandle())
        Refresh();
    return nResult;
}

int CHoverButton::OffsetColor(int nIndex, int nOffset, bool bRepaint)
{
    int nResult = m_colors.OffsetColor(nIndex, nOffset);
    if (nResult != BTNST_OK)
        return nResult;
    int& nTotal = m_nOffset[static_cast<size_t>(nIndex)];
    nTotal = std::clamp(nTotal + nOffset, -255, 255);
    if (bRepaint && GetHandle())
        Refresh();
    return nResult;
}

void CHoverButton::UseProgramHoverLook()
{
    OffsetColor(BTNST_COLOR_BK_IN, 30);
    SetColor(BTNST_COLOR_FG_IN, wxColour(0, 128, 0));
}

void CHoverButton::FollowColour(int nParity, const wxColour& base)
{
    for (int i = nParity; i < BTNST_MAX_COLORS; i += 2)
    {
        if (m_bOwnColor[static_cast<size_t>(i)])
            continue;
        m_colors.SetColor(i, ToRgb(base));
        m_colors.OffsetColor(i, m_nOffset[static_cast<size_t>(i)]);
    }
    if (GetHandle())
        Refresh();
}

bool CHoverButton::SetBackgroundColour(const wxColour& colour)
{
    bool bChanged = wxButton::SetBackgroundColour(colour);
    FollowColour(0, colour.IsOk() ? colour : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    return bChanged;
}

bool CHoverButton::SetForegroundColour(const wxColour& colour)
{
    bool bChanged = wxButton::SetForegroundColour(colour);
    FollowColour(1, colour.IsOk() ? colour : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
    return bChanged;
}

wxColour CHoverButton::GetColor(int nIndex) const
{
    if (nIndex < 0 || nIndex >= BTNST_MAX_COLORS)
        return wxNullColour;
    return ToColour(m_colors.GetColor(nIndex));
}

void CHoverButton::SetMouseOver(bool bOver)
{
    if (bOver == m_bMouseOnButton)
        return;
    m_bMouseOnButton = bOver;
    Refresh();
}

void CHoverButton::OnEnter(wxMouseEvent& event)
{
    if (!event.LeftIsDown())
        SetMouseOver(true);
    event.Skip();
}

void CHoverButton::OnMotion(wxMouseEvent& event)
{
    if (!event.LeftIsDown())
        SetMouseOver(wxRect(GetSize()).Contains(event.GetPosition()));
    event.Skip();
}

void CHoverButton::OnLeave(wxMouseEvent& event)
{
    SetMouseOver(false);
    event.Skip();
}

void CHoverButton::OnFocus(wxFocusEvent& event)
{
    Refresh();
    event.Skip();
}

bool CHoverButton::IsPressed() const
{
    return IsNativePressed(GetHandle());
}

int CHoverButton::GetStateColorIndex() const
{
    if (m_bMouseOnButton || IsPressed())
        return BTNST_COLOR_BK_IN;
    if (HasFocus())
        return BTNST_COLOR_BK_FOCUS;
    return BTNST_COLOR_BK_OUT;
}

void CHoverButton::PaintNative(void* pCairo)
{
    int w = 0, h = 0;
    NativeSize(GetHandle(), w, h);
    wxGraphicsRenderer* pRenderer = wxGraphicsRenderer::GetCairoRenderer();
    if (!pRenderer || w <= 0 || h <= 0)
        return;
    std::unique_ptr<wxGraphicsContext> gc(pRenderer->CreateContextFromNativeContext(pCairo));
    if (!gc)
        return;
    gc->SetAntialiasMode(wxANTIALIAS_NONE);

    int nBack = GetStateColorIndex();
    bool bPressed = IsPressed();
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->SetBrush(wxBrush(GetColor(nBack)));
    gc->DrawRectangle(0, 0, w, h);

    if (m_bDrawBorder)
    {
        // One-pixel edge: light above and left, dark below and right; the other way round when pressed.
        wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
        wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
        wxColour topLeft = bPressed ? shadow : light;
        wxColour bottomRight = bPressed ? light : shadow;
        gc->SetBrush(wxBrush(topLeft));
        gc->DrawRectangle(0, 0, w, 1);
        gc->DrawRectangle(0, 0, 1, h);
        gc->SetBrush(wxBrush(bottomRight));
        gc->DrawRectangle(0, h - 1, w, 1);
        gc->DrawRectangle(w - 1, 0, 1, h);
    }

    // The caption, centred, in the text colour of the state; one pixel down and right when pressed.
    wxColour text = IsEnabled() ? GetColor(nBack + 1) : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    gc->SetFont(GetFont(), text);
    wxString label = wxControl::RemoveMnemonics(GetLabel());
    double tw = 0, th = 0;
    gc->GetTextExtent(label, &tw, &th);
    double x = (w - tw) / 2 + (bPressed ? 1 : 0);
    double y = (h - th) / 2 + (bPressed ? 1 : 0);
    gc->DrawText(label, x, y);

    // The mnemonic is underlined while the desktop shows mnemonics (Alt held).
    int nAccel = wxControl::FindAccelIndex(GetLabel());
    if (nAccel >= 0 && MnemonicsVisible(GetHandle()))
    {
        double before = 0, charWidth = 0, unused = 0;
        gc->GetTextExtent(label.Left(static_cast<size_t>(nAccel)), &before, &unused);
        gc->GetTextExtent(label.Mid(static_cast<size_t>(nAccel), 1), &charWidth, &unused);
        gc->SetBrush(wxBrush(text));
        gc->DrawRectangle(x + before, y + th - 1, charWidth, 1);
    }

    if (HasFocus() && !m_bMouseOnButton)
    {
        // Keyboard users still see where the focus is.
        wxPen focus(text, 1, wxPENSTYLE_DOT);
        gc->SetPen(focus);
        gc->SetBrush(*wxTRANSPARENT_BRUSH);
        gc->DrawRectangle(3.5, 3.5, w - 8, h - 8);
    }
}
