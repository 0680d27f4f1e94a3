#include "LstctrlAudio.h"

#include "WindowMessages.h"

wxBEGIN_EVENT_TABLE(CLstctrlAudio, wxListCtrl)
    EVT_LIST_ITEM_SELECTED(wxID_ANY, CLstctrlAudio::OnItemSelected)
    EVT_LIST_ITEM_DESELECTED(wxID_ANY, CLstctrlAudio::OnItemDeselected)
    EVT_LIST_ITEM_RIGHT_CLICK(wxID_ANY, CLstctrlAudio::OnRightClick)
wxEND_EVENT_TABLE()

const wxColour CLstctrlAudio::ODD_ROW_COLOUR(232, 232, 232);

CLstctrlAudio::CLstctrlAudio(wxWindow* pParent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxListCtrl(pParent, id, pos, size, wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN)
{
    // The control reports a right-click below the rows only while no row has been current;
    // its rows' window tells us of every one.
    // (The rows' window is a plain wxWindow whose class wx keeps private.)
    wxWindow* pRows = reinterpret_cast<wxWindow*>(m_mainWin);
    for (wxWindow* pChild : GetChildren())
        if (pChild == pRows)
        {
            pRows->Bind(wxEVT_RIGHT_DOWN, &CLstctrlAudio::OnBlankRightDown, this);
            pRows->Bind(wxEVT_KEY_DOWN, &CLstctrlAudio::OnRowsKeyDown, this);
            // Only a double-click plays: the control also "activates" a row on Return.
            pRows->Bind(wxEVT_LEFT_DCLICK, &CLstctrlAudio::OnRowDoubleClick, this);
        }
}

CLstctrlAudio::~CLstctrlAudio()
{
    // The rows and the control let go of the image list before it goes with the members.
    DeleteAllItems();
    SetImageList(nullptr, wxIMAGE_LIST_SMALL);
}

bool CLstctrlAudio::InitList()
{
    if (!GetHandle())
        return false;
    InsertColumn(0, "Audio", wxLIST_FORMAT_CENTRE, 220);
    InsertColumn(1, "State", wxLIST_FORMAT_CENTRE, 222);
    SetImageList(m_icons.ImageList(), wxIMAGE_LIST_SMALL);
    return true;
}

int CLstctrlAudio::AddAudio(AudioItem* pItem)
{
    const long nRow = GetItemCount();
    const int nImage = m_icons.IndexFor(pItem->szPath);
    InsertItem(nRow, wxString::FromUTF8(pItem->szName), nImage);
    // The record takes the control's new row number and becomes the current row.
    m_items.Append(pItem);
    pItem->nIndex = static_cast<int32_t>(nRow);
    m_items.SetCurrentRow(static_cast<int>(nRow));
    Reshade(nRow);
    UpdateAudioText(pItem);
    // Scrolled once the row is laid out, as a posted scroll message would.
    CallAfter([this] {
        if (GetItemCount() > 0)
            EnsureVisible(GetItemCount() - 1);
    });
    return static_cast<int>(nRow);
}

bool CLstctrlAudio::UpdateAudioText(AudioItem* pItem)
{
    const long nRow = pItem->nIndex;
    if (nRow < 0 || nRow >= GetItemCount())
        return true;
    switch (pItem->nState)
    {
    case AUDIO_STATE_RECORDING:
        SetItem(nRow, 1, "Recording...");
        break;
    case AUDIO_STATE_RECORDED:
        SetItem(nRow, 1, "Record over");
        break;
    case AUDIO_STATE_NEWNAME:
        SetItem(nRow, 0, wxString::FromUTF8(pItem->szName));
        break;
    default:
        break;
    }
    return true;
}

int CLstctrlAudio::GetCurIndex()
{
    return m_items.CurrentRow(GetItemCount());
}

AudioItem* CLstctrlAudio::GetAudio(int nRow)
{
    if (nRow >= GetItemCount())
        return nullptr;
    return m_items.Get(nRow);
}

AudioItem* CLstctrlAudio::GetCurAudio()
{
    const int nRow = GetCurIndex();
    return nRow == -1 ? nullptr : GetAudio(nRow);
}

AudioItem* CLstctrlAudio::FindRecordingAudio()
{
    return m_items.FindRecording();
}

void CLstctrlAudio::UpdateAudioInfo(const AudioItem& item)
{
    m_items.UpdateInfo(item);
}

int CLstctrlAudio::DeleteAudio(int nRow)
{
    if (!m_items.Remove(nRow))
        return 0;
    const bool bDeleted = DeleteItem(nRow);
    Reshade(nRow);
    return bDeleted ? 1 : 0;
}

void CLstctrlAudio::DeleteAllAudio()
{
    m_items.Clear();
    DeleteAllItems();
}

void CLstctrlAudio::GetOtherNames(int nRow, std::vector<std::string>& names)
{
    const int nCount = GetItemCount();
    for (int i = 0; i < nCount; ++i)
        if (i != nRow)
            names.push_back(GetItemText(i, 0).utf8_string());
}

wxEvtHandler* CLstctrlAudio::ParentHandler() const
{
    // Looked up at each notification: the list may change parents, or have none.
    wxWindow* pParent = GetParent();
    return pParent ? pParent->GetEventHandler() : nullptr;
}

void CLstctrlAudio::Reshade(long nFrom)
{
    // Rows move up after a deletion, so every row from there on gets its shade again.
    const long nCount = GetItemCount();
    for (long i = std::max(0L, nFrom); i < nCount; ++i)
        SetItemBackgroundColour(i, (i % 2) ? ODD_ROW_COLOUR : GetBackgroundColour());
}

void CLstctrlAudio::OnItemSelected(wxListEvent& event)
{
    const long nRow = event.GetIndex();
    const long nState = GetItemState(nRow, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    const bool bSelectedAndFocused = nState == (wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    if (bSelectedAndFocused)
        m_items.SetCurrentRow(static_cast<int>(nRow));
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_SELCHANGE, bSelectedAndFocused ? 1 : 0, 0);
}

void CLstctrlAudio::OnItemDeselected(wxListEvent& event)
{
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_SELCHANGE, 0, 0);
}

void CLstctrlAudio::OnRightClick(wxListEvent& event)
{
    wxPoint point = ClientToScreen(event.GetPoint());
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_RCLICK, event.GetIndex(), reinterpret_cast<intptr_t>(&point));
}

void CLstctrlAudio::OnBlankRightDown(wxMouseEvent& event)
{
    int nFlags = 0;
    wxWindow* pRows = static_cast<wxWindow*>(event.GetEventObject());
    if (HitTest(event.GetPosition(), nFlags) != wxNOT_FOUND)
    {
        event.Skip();
        return;
    }
    // Handled here alone, so the control does not report the same click a second time.
    wxPoint point = pRows->ClientToScreen(event.GetPosition());
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_RCLICK, -1, reinterpret_cast<intptr_t>(&point));
}

void CLstctrlAudio::OnRowsKeyDown(wxKeyEvent& event)
{
    // The Menu key and Shift+F10 open the popup as a right-click on the current row would, at that row.
    const bool bMenuKey = event.GetKeyCode() == WXK_MENU || event.GetKeyCode() == WXK_WINDOWS_MENU;
    if (!bMenuKey && !(event.GetKeyCode() == WXK_F10 && event.GetModifiers() == wxMOD_SHIFT))
    {
        event.Skip();
        return;
    }
    const int nRow = GetCurIndex();
    wxRect row;
    if (nRow < 0 || !GetItemRect(nRow, row))
        row = wxRect(0, 0, GetClientSize().x, 0);
    wxPoint point = ClientToScreen(wxPoint(row.x + 20, row.y + row.height / 2));
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_RCLICK, nRow, reinterpret_cast<intptr_t>(&point));
}

void CLstctrlAudio::OnRowDoubleClick(wxMouseEvent& event)
{
    int nFlags = 0;
    if (HitTest(event.GetPosition(), nFlags) != wxNOT_FOUND)
        PostWindowMessage(ParentHandler(), WM_AUDIOLIST_DBLCLK, 0, 0);
    event.Skip();
}
