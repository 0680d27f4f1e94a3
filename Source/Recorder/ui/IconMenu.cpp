#include "IconMenu.h"

#include "IconMenuPopup.h"
#include "Resources.h"

#include <algorithm>
#include <wx/app.h>
#include <wx/control.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/settings.h>
#include <wx/utils.h>


namespace
{
const int kBorder = 1;  // the popup's own frame around the items
const int kIconCell = 20;
const int kSeparatorHeight = 6;
const int kAcceleratorWidth = 60;
const size_t kMaxLabel = 127;

const wxColour kIvory(255, 255, 240);
const wxColour kBarFrame(64, 64, 128);
const wxColour kBarFill(216, 216, 235);

wxColour TextColour()
{
    // The items are always ivory, so the text must stay dark whatever the desktop theme says.
    wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_MENUTEXT);
    if (0.299 * text.Red() + 0.587 * text.Green() + 0.114 * text.Blue() > 110)
        text = *wxBLACK;
    return text;
}

wxColour DisabledTextColour()
{
    // Grayed items are written in the button face. Light desktop themes make
    // that colour vanish on ivory; then a grey that still reads as disabled is used.
    wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    if (0.299 * face.Red() + 0.587 * face.Green() + 0.114 * face.Blue() > 215)
        return wxColour(160, 160, 160);
    return face;
}
}  // namespace

CIconMenu::~CIconMenu()
{
    DestroyMenu();
}

void CIconMenu::SplitItemText(const std::string& text, std::string& label, std::string& accelerator)
{
    size_t tab = text.find('\t');
    label = text.substr(0, tab);
    accelerator = tab == std::string::npos ? std::string() : text.substr(tab + 1);
    if (label.size() > kMaxLabel)
        label.resize(kMaxLabel);
}

bool CIconMenu::CreatePopupMenu()
{
    if (m_bCreated)
        return false;
    m_bCreated = true;
    m_items.clear();
    return true;
}

bool CIconMenu::DestroyMenu()
{
    if (!m_bCreated)
        return false;
    m_bCreated = false;
    m_items.clear();
    m_nFitWidth = 0;
    return true;
}

bool CIconMenu::AppendMenu(unsigned nFlags, unsigned nIDNewItem, const char* lpszNewItem, unsigned nBitmapId)
{
    if (!m_bCreated || (nFlags & MF_POPUP) || m_pPopup)
        return false;
    Item item;
    item.nFlags = nFlags | MF_OWNERDRAW;
    item.nId = (nFlags & MF_SEPARATOR) ? 0 : nIDNewItem;
    if (!(nFlags & MF_SEPARATOR))
    {
        SplitItemText(lpszNewItem ? lpszNewItem : "", item.label, item.accelerator);
        if (nBitmapId != 0)
            item.bitmap = LoadBitmapResource(nBitmapId);
    }
    item.nWidth = m_nItemWidth;
    item.nHeight = (nFlags & MF_SEPARATOR) ? kSeparatorHeight : m_nItemHeight;
    m_items.push_back(std::move(item));
    return true;
}

CIconMenu::Item* CIconMenu::FindItem(unsigned nId)
{
    for (Item& item : m_items)
        if (!item.IsSeparator() && item.nId == nId)
            return &item;
    return nullptr;
}

const CIconMenu::Item* CIconMenu::FindItem(unsigned nId) const
{
    return const_cast<CIconMenu*>(this)->FindItem(nId);
}

int CIconMenu::EnableMenuItem(unsigned nIDItem, unsigned nEnable)
{
    Item* pItem = FindItem(nIDItem);
    if (!pItem)
        return -1;
    int nPrevious = static_cast<int>(pItem->nFlags & (MF_GRAYED | MF_DISABLED));
    pItem->nFlags = (pItem->nFlags & ~(MF_GRAYED | MF_DISABLED)) | (nEnable & (MF_GRAYED | MF_DISABLED));
    if (m_pPopup)
        m_pPopup->Refresh();
    return nPrevious;
}

int CIconMenu::CheckMenuItem(unsigned nIDItem, unsigned nCheck)
{
    Item* pItem = FindItem(nIDItem);
    if (!pItem)
        return -1;
    int nPrevious = static_cast<int>(pItem->nFlags & MF_CHECKED);
    pItem->nFlags = (pItem->nFlags & ~MF_CHECKED) | (nCheck & MF_CHECKED);
    if (m_pPopup)
        m_pPopup->Refresh();
    return nPrevious;
}

int CIconMenu::GetMenuState(unsigned nIDItem, unsigned nFlags) const
{
    const Item* pItem = nullptr;
    if (nFlags & MF_BYPOSITION)
        pItem = nIDItem < m_items.size() ? &m_items[nIDItem] : nullptr;
    else
        pItem = FindItem(nIDItem);
    return pItem ? static_cast<int>(pItem->nFlags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR)) : -1;
}

int CIconMenu::FitWidthToTexts(wxDC& dc)
{
    // The item width suits the font it was chosen for; a larger desktop font
    // would push long labels into the accelerator column, so the menu widens instead.
    // Likewise the accelerator column takes the longest accelerator ("Ctrl+Space" needs more than 60 pixels).
    m_nFitWidth = 0;
    m_nAcceleratorWidth = kAcceleratorWidth;
    for (const Item& item : m_items)
        if (!item.IsSeparator() && !item.accelerator.empty())
            m_nAcceleratorWidth = std::max(m_nAcceleratorWidth, dc.GetTextExtent(wxString::FromUTF8(item.accelerator)).x + 12);
    for (const Item& item : m_items)
    {
        if (item.IsSeparator())
            continue;
        wxCoord nLabel = dc.GetTextExtent(wxControl::RemoveMnemonics(wxString::FromUTF8(item.label))).x;
        int nNeeded = item.accelerator.empty() ? nLabel + 28 + 6 : nLabel + 28 + 8 + (m_nAcceleratorWidth - 4);
        m_nFitWidth = std::max(m_nFitWidth, nNeeded);
    }
    return GetMenuSize().x;
}

wxSize CIconMenu::GetMenuSize() const
{
    int nWidth = m_nFitWidth, nHeight = 0;
    for (const Item& item : m_items)
    {
        nWidth = std::max(nWidth, item.nWidth);
        nHeight += item.nHeight;
    }
    return wxSize(nWidth + 2 * kBorder, nHeight + 2 * kBorder);
}

wxRect CIconMenu::GetItemRect(size_t nIndex) const
{
    int y = kBorder;
    for (size_t i = 0; i < nIndex && i < m_items.size(); ++i)
        y += m_items[i].nHeight;
    if (nIndex >= m_items.size())
        return wxRect();
    // Every item spans the whole menu width, as menu items do.
    return wxRect(kBorder, y, GetMenuSize().x - 2 * kBorder, m_items[nIndex].nHeight);
}

int CIconMenu::HitTest(const wxPoint& pt) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (GetItemRect(i).Contains(pt))
            return static_cast<int>(i);
    return -1;
}

wxRect CIconMenu::IconCellRect(const wxRect& item)
{
    return wxRect(item.x, item.y, kIconCell, kIconCell).Intersect(item);
}

wxRect CIconMenu::TextAreaRect(const wxRect& item)
{
    return wxRect(item.x + kIconCell, item.y, std::max(0, item.width - kIconCell), item.height);
}

wxRect CIconMenu::LabelRect(const wxRect& item)
{
    wxRect rc = TextAreaRect(item);
    rc.Deflate(2, 2);
    rc.Offset(6, 2);
    return rc;
}

wxRect CIconMenu::AcceleratorRect(const wxRect& item) const
{
    wxRect label = LabelRect(item);
    return wxRect(label.GetRight() + 1 - m_nAcceleratorWidth, label.y, m_nAcceleratorWidth, label.height);
}

wxRect CIconMenu::HighlightBarRect(const wxRect& item)
{
    return wxRect(item.x + kIconCell + 2, item.y, std::max(0, item.width - kIconCell - 2), item.height);
}

void CIconMenu::DrawItem(wxDC& dc, size_t nIndex, bool bHighlighted) const
{
    const Item& item = m_items[nIndex];
    wxRect rc = GetItemRect(nIndex);
    wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
    wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    wxDCClipper clip(dc, rc);

    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(kIvory));
    dc.DrawRectangle(rc);
    wxRect cell = IconCellRect(rc);
    dc.SetBrush(wxBrush(face));
    dc.DrawRectangle(cell);

    if (item.IsSeparator())
    {
        // An etched line along the top of the text area, 5 right and 3 down.
        wxRect line = TextAreaRect(rc);
        line.Offset(5, 3);
        dc.SetPen(wxPen(shadow));
        dc.DrawLine(line.x, line.y, line.GetRight() + 1, line.y);
        dc.SetPen(wxPen(light));
        dc.DrawLine(line.x, line.y + 1, line.GetRight() + 1, line.y + 1);
        return;
    }

    bool bChecked = (item.nFlags & MF_CHECKED) != 0;
    bool bEnabled = item.IsSelectable();
    if (bChecked)
    {
        wxRect box = cell;
        box.Deflate(1);
        dc.SetPen(wxPen(kBarFrame));
        dc.SetBrush(wxBrush(kBarFill));
        dc.DrawRectangle(box);
        // Seven short strokes make the tick: three going down, four going up.
        static const int tops[7] = {9, 10, 11, 10, 9, 8, 7};
        dc.SetPen(wxPen(kBarFrame));
        for (int i = 0; i < 7; ++i)
            dc.DrawLine(cell.x + 6 + i, cell.y + tops[i], cell.x + 6 + i, cell.y + tops[i] + 3);
    }
    if (item.bitmap.IsOk())
        dc.DrawBitmap(item.bitmap, rc.x + 2, rc.y + 2, true);

    if (bHighlighted && bEnabled)
    {
        if (item.bitmap.IsOk() && !bChecked)
        {
            dc.SetPen(wxPen(light));
            dc.DrawLine(cell.x, cell.y, cell.GetRight(), cell.y);
            dc.DrawLine(cell.x, cell.y, cell.x, cell.GetBottom());
            dc.SetPen(wxPen(shadow));
            dc.DrawLine(cell.x, cell.GetBottom(), cell.GetRight() + 1, cell.GetBottom());
            dc.DrawLine(cell.GetRight(), cell.y, cell.GetRight(), cell.GetBottom());
        }
        dc.SetPen(wxPen(kBarFrame));
        dc.SetBrush(wxBrush(kBarFill));
        dc.DrawRectangle(HighlightBarRect(rc));
    }

    dc.SetTextForeground(bEnabled ? TextColour() : DisabledTextColour());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    wxString label = wxString::FromUTF8(item.label);
    int nAccel = wxControl::FindAccelIndex(label);
    dc.DrawLabel(wxControl::RemoveMnemonics(label), LabelRect(rc), wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL, nAccel);
    if (!item.accelerator.empty())
        dc.DrawLabel(wxString::FromUTF8(item.accelerator), AcceleratorRect(rc), wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
}

void CIconMenu::DrawFrame(wxDC& dc, const wxSize& size)
{
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(wxBrush(kIvory));
    dc.DrawRectangle(0, 0, size.x, size.y);
}

void CIconMenu::UpdateFromOwner(wxWindow* pOwner)
{
    for (Item& item : m_items)
    {
        if (item.IsSeparator())
            continue;
        wxUpdateUIEvent event(static_cast<int>(item.nId));
        event.SetEventObject(pOwner);
        if (!pOwner->GetEventHandler()->ProcessEvent(event))
            continue;
        if (event.GetSetEnabled())
            item.nFlags = (item.nFlags & ~(MF_GRAYED | MF_DISABLED)) | (event.GetEnabled() ? 0 : MF_GRAYED);
        if (event.GetSetChecked())
            item.nFlags = (item.nFlags & ~MF_CHECKED) | (event.GetChecked() ? MF_CHECKED : 0);
    }
}

wxWindow* CIconMenu::GetPopupWindow() const
{
    return m_pPopup;
}

wxPoint CIconMenu::PopupOrigin(const wxPoint& point, const wxSize& size)
{
    // Below and right of the point where there is room, else above or left of it, and never off
    // the work area, whatever the screen's scale: the desktop's panels hold no menu either.
    const int nDisplay = wxDisplay::GetFromPoint(point);
    const wxRect work = wxDisplay(nDisplay == wxNOT_FOUND ? 0u : static_cast<unsigned>(nDisplay)).GetClientArea();
    wxPoint origin = point;
    if (origin.x + size.x > work.GetRight() + 1)
        origin.x = point.x - size.x;
    if (origin.y + size.y > work.GetBottom() + 1)
        origin.y = point.y - size.y;
    origin.x = std::max(work.x, std::min(origin.x, work.GetRight() + 1 - size.x));
    origin.y = std::max(work.y, std::min(origin.y, work.GetBottom() + 1 - size.y));
    return origin;
}

int CIconMenu::TrackPopupMenu(unsigned nFlags, int x, int y, wxWindow* pOwner)
{
    if (!m_bCreated || m_items.empty() || m_pPopup)
        return 0;
    if (pOwner)
        UpdateFromOwner(pOwner);
    wxWindow* pParent = pOwner ? wxGetTopLevelParent(pOwner) : wxTheApp->GetTopWindow();

    CIconMenuPopup* pPopup = new CIconMenuPopup(pParent, this);
    m_pPopup = pPopup;
    {
        wxClientDC dc(pPopup);
        dc.SetFont(pPopup->GetFont());
        FitWidthToTexts(dc);
    }
    pPopup->SetClientSize(GetMenuSize());
    pPopup->Move(PopupOrigin(wxPoint(x, y), pPopup->GetSize()));
    wxGUIEventLoop loop;
    pPopup->Run(loop);
    int nChosen = pPopup->GetChosen();
    m_pPopup = nullptr;
    pPopup->Destroy();

    if (nChosen != 0 && pOwner && !(nFlags & (TPM_RETURNCMD | TPM_NONOTIFY)))
    {
        auto* pEvent = new wxCommandEvent(wxEVT_MENU, nChosen);
        pEvent->SetEventObject(pOwner);
        wxQueueEvent(pOwner->GetEventHandler(), pEvent);
    }
    return nChosen;
}
