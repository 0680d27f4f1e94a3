#include "IconMenuPopup.h"

#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/settings.h>
#include <wx/utils.h>

CIconMenuPopup::CIconMenuPopup(wxWindow* pParent, CIconMenu* pMenu)
    : wxPopupTransientWindow(pParent, wxBORDER_NONE), m_pMenu(pMenu)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    Bind(wxEVT_PAINT, &CIconMenuPopup::OnPaint, this);
    Bind(wxEVT_MOTION, &CIconMenuPopup::OnMotion, this);
    // A pointer that jumps into the popup reports itself by the enter event alone.
    Bind(wxEVT_ENTER_WINDOW, &CIconMenuPopup::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CIconMenuPopup::OnLeave, this);
    Bind(wxEVT_LEFT_UP, &CIconMenuPopup::OnLeftUp, this);
    Bind(wxEVT_RIGHT_DOWN, &CIconMenuPopup::OnOtherButtonDown, this);
    Bind(wxEVT_MIDDLE_DOWN, &CIconMenuPopup::OnOtherButtonDown, this);
    // GTK gives a popup window no key events of its own, but hands the
    // keys of the focused window to the popup's grab: take them there.
    HookPopupKeys(GetHandle(), &CIconMenuPopup::OnPopupKey, this);
}

void CIconMenuPopup::Run(wxGUIEventLoop& loop)
{
    m_pLoop = &loop;
    Popup();
    if (!m_bDone)
        loop.Run();
    m_pLoop = nullptr;
    m_pMenu = nullptr;
}

bool CIconMenuPopup::ProcessLeftDown(wxMouseEvent& event)
{
    // A press inside the menu is ours; outside, the base class dismisses the popup.
    return wxRect(GetClientSize()).Contains(event.GetPosition());
}

void CIconMenuPopup::Finish()
{
    if (m_bDone)
        return;
    m_bDone = true;
    if (m_pLoop && m_pLoop->IsRunning())
        m_pLoop->Exit();
}

void CIconMenuPopup::Choose(int nIndex)
{
    if (!m_pMenu || nIndex < 0 || !m_pMenu->GetItems()[static_cast<size_t>(nIndex)].IsSelectable())
        return;
    m_nChosen = static_cast<int>(m_pMenu->GetItems()[static_cast<size_t>(nIndex)].nId);
    Dismiss();
    Finish();
}

void CIconMenuPopup::Cancel()
{
    Dismiss();
    Finish();
}

void CIconMenuPopup::SetHot(int nIndex)
{
    if (nIndex == m_nHot || !m_pMenu)
        return;
    int nOld = m_nHot;
    m_nHot = nIndex;
    if (nOld >= 0)
        RefreshRect(m_pMenu->GetItemRect(static_cast<size_t>(nOld)));
    if (nIndex >= 0)
    {
        RefreshRect(m_pMenu->GetItemRect(static_cast<size_t>(nIndex)));
        // The menu is drawn by us: a screen reader hears the item the highlight is on.
        const wxString label = wxStripMenuCodes(wxString::FromUTF8(m_pMenu->GetItems()[static_cast<size_t>(nIndex)].label));
        SetAccessibleText(GetHandle(), AccessibleRole::Menu, label.utf8_string().c_str(), nullptr);
    }
}

int CIconMenuPopup::Selectable(int nIndex) const
{
    return (nIndex >= 0 && m_pMenu->GetItems()[static_cast<size_t>(nIndex)].IsSelectable()) ? nIndex : -1;
}

// The next selectable item from the hot one in the direction, wrapping around.
int CIconMenuPopup::Step(int nDirection) const
{
    int nCount = static_cast<int>(m_pMenu->GetItems().size());
    int n = m_nHot;
    for (int i = 0; i < nCount; ++i)
    {
        n = n < 0 ? (nDirection > 0 ? 0 : nCount - 1) : (n + nDirection + nCount) % nCount;
        if (Selectable(n) >= 0)
            return n;
    }
    return -1;
}

void CIconMenuPopup::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    CIconMenu::DrawFrame(dc, GetClientSize());
    if (!m_pMenu)
        return;
    dc.SetFont(GetFont());
    for (size_t i = 0; i < m_pMenu->GetItems().size(); ++i)
        m_pMenu->DrawItem(dc, i, static_cast<int>(i) == m_nHot);
}

void CIconMenuPopup::OnMotion(wxMouseEvent& event)
{
    if (m_pMenu)
        SetHot(Selectable(m_pMenu->HitTest(event.GetPosition())));
    event.Skip();
}

void CIconMenuPopup::OnLeave(wxMouseEvent& event)
{
    // Grabs send crossing events of their own; only a pointer really outside clears the highlight.
    if (!GetScreenRect().Contains(wxGetMousePosition()))
        SetHot(-1);
    event.Skip();
}

void CIconMenuPopup::OnLeftUp(wxMouseEvent& event)
{
    if (!m_pMenu)
        return;
    int nIndex = Selectable(m_pMenu->HitTest(event.GetPosition()));
    // Leave the mouse handlers before the popup closes.
    if (nIndex >= 0)
        CallAfter([this, nIndex] { Choose(nIndex); });
}

void CIconMenuPopup::OnOtherButtonDown(wxMouseEvent& event)
{
    if (!wxRect(GetClientSize()).Contains(event.GetPosition()))
        CallAfter([this] { Cancel(); });
}

void CIconMenuPopup::OnPopupKey(void* pUser, PopupKey key, uint32_t nChar)
{
    auto* self = static_cast<CIconMenuPopup*>(pUser);
    if (self->m_bDone || !self->m_pMenu)
        return;
    switch (key)
    {
    case PopupKey::Up:
        self->SetHot(self->Step(-1));
        break;
    case PopupKey::Down:
        self->SetHot(self->Step(+1));
        break;
    case PopupKey::Home:
        self->SetHot(-1);
        self->SetHot(self->Step(+1));
        break;
    case PopupKey::End:
        self->SetHot(-1);
        self->SetHot(self->Step(-1));
        break;
    case PopupKey::Enter:
        self->Choose(self->m_nHot);
        break;
    case PopupKey::Escape:
        self->Cancel();
        break;
    case PopupKey::Other:
        self->ChooseByMnemonic(nChar);
        break;
    }
}

// A letter chooses the item it is the mnemonic of ("&Record": R), when only one item has it.
void CIconMenuPopup::ChooseByMnemonic(uint32_t nChar)
{
    if (nChar == 0)
        return;
    wxString key = wxString(wxUniChar(nChar)).Lower();
    int nFound = -1, nCount = 0;
    for (size_t i = 0; i < m_pMenu->GetItems().size(); ++i)
    {
        wxString label = wxString::FromUTF8(m_pMenu->GetItems()[i].label);
        int nAccel = wxControl::FindAccelIndex(label);
        if (nAccel < 0 || Selectable(static_cast<int>(i)) < 0)
            continue;
        if (wxControl::RemoveMnemonics(label).Mid(static_cast<size_t>(nAccel), 1).Lower() == key)
        {
            nFound = static_cast<int>(i);
            ++nCount;
        }
    }
    if (nCount == 1)
        Choose(nFound);
    else if (nCount > 1)
        SetHot(nFound);
}
