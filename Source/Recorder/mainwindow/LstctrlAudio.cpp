#include "LstctrlAudio.h"

#include "WindowMessages.h"
#include "WindowSystem.h"

#include <wx/settings.h>

wxBEGIN_EVENT_TABLE(CLstctrlAudio, wxDataViewListCtrl)
    EVT_DATAVIEW_SELECTION_CHANGED(wxID_ANY, CLstctrlAudio::OnSelectionChanged)
    EVT_DATAVIEW_ITEM_ACTIVATED(wxID_ANY, CLstctrlAudio::OnActivated)
    EVT_DATAVIEW_ITEM_CONTEXT_MENU(wxID_ANY, CLstctrlAudio::OnContextMenu)
    EVT_KEY_DOWN(CLstctrlAudio::OnKeyDown)
    EVT_MOTION(CLstctrlAudio::OnMotion)
wxEND_EVENT_TABLE()

const wxColour CLstctrlAudio::ODD_ROW_COLOUR(232, 232, 232);

// The rows with their texts; every odd row drawn on the shade of the list's background.
class CLstctrlAudio::CRows : public wxDataViewListStore
{
public:
    explicit CRows(const wxWindow& list) : m_list(list) {}

    bool GetAttrByRow(unsigned int nRow, unsigned int, wxDataViewItemAttr& attr) const override
    {
        if (nRow % 2 == 0)
            return false;
        attr.SetBackgroundColour(OddRowColour(m_list.GetBackgroundColour()));
        return true;
    }

private:
    const wxWindow& m_list;
};

wxColour CLstctrlAudio::OddRowColour(const wxColour& background)
{
    if (!background.IsOk() || background.GetLuminance() > 0.5)
        return ODD_ROW_COLOUR;
    return background.ChangeLightness(118);
}

CLstctrlAudio::CLstctrlAudio(wxWindow* pParent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxDataViewListCtrl(pParent, id, pos, size, wxDV_SINGLE | wxBORDER_SUNKEN)
{
    CRows* pRows = new CRows(*this);
    AssociateModel(pRows);
    pRows->DecRef();
    SetName("Audio list");
    SetAccessibleText(GtkGetTreeView(), AccessibleRole::Table, "Audio list", nullptr);
}

CLstctrlAudio::~CLstctrlAudio()
{
    DeleteAllItems();
}

bool CLstctrlAudio::InitList()
{
    if (!GetHandle())
        return false;
    AppendIconTextColumn("Audio", wxDATAVIEW_CELL_INERT, 220, wxALIGN_CENTER, 0);
    AppendTextColumn("State", wxDATAVIEW_CELL_INERT, 222, wxALIGN_CENTER, 0);
    return true;
}

int CLstctrlAudio::AddAudio(AudioItem* pItem)
{
    const int nRow = GetItemCount();
    const int nImage = m_icons.IndexFor(pItem->szPath);
    wxVector<wxVariant> values;
    wxVariant name;
    name << wxDataViewIconText(wxString::FromUTF8(pItem->szName), m_icons.ImageList()->GetIcon(nImage));
    values.push_back(name);
    values.push_back(wxVariant(wxString()));
    AppendItem(values);
    // The record takes the control's new row number and becomes the current row.
    m_items.Append(pItem);
    pItem->nIndex = static_cast<int32_t>(nRow);
    m_items.SetCurrentRow(nRow);
    // The view's cursor goes with it: the keyboard and a screen reader start from the newest row.
    SetCurrentItem(RowToItem(nRow));
    UpdateAudioText(pItem);
    // Scrolled once the row is laid out, as a posted scroll message would.
    CallAfter([this] {
        if (GetItemCount() > 0)
            EnsureVisible(RowToItem(GetItemCount() - 1));
    });
    return nRow;
}

bool CLstctrlAudio::UpdateAudioText(AudioItem* pItem)
{
    const int nRow = pItem->nIndex;
    if (nRow < 0 || nRow >= GetItemCount())
        return true;
    switch (pItem->nState)
    {
    case AUDIO_STATE_RECORDING:
        SetTextValue(pItem->bPaused ? "Paused" : "Recording...", nRow, 1);
        break;
    case AUDIO_STATE_RECORDED:
        SetTextValue("Record over", nRow, 1);
        break;
    case AUDIO_STATE_NEWNAME:
    {
        wxVariant value;
        GetValue(value, nRow, 0);
        wxDataViewIconText name;
        name << value;
        name.SetText(wxString::FromUTF8(pItem->szName));
        value << name;
        SetValue(value, nRow, 0);
        break;
    }
    default:
        return true;
    }
    // A changed value only repaints its cell; a changed row is also told to a screen reader.
    GetStore()->RowChanged(static_cast<unsigned>(nRow));
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
    if (!m_items.Remove(nRow) || nRow < 0 || nRow >= GetItemCount())
        return 0;
    DeleteItem(nRow);
    return 1;
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

wxString CLstctrlAudio::GetItemText(long nRow, int nColumn) const
{
    if (nRow < 0 || nRow >= GetItemCount())
        return wxString();
    wxVariant value;
    GetStore()->GetValueByRow(value, static_cast<unsigned>(nRow), static_cast<unsigned>(nColumn));
    if (nColumn != 0)
        return value.GetString();
    wxDataViewIconText name;
    name << value;
    return name.GetText();
}

bool CLstctrlAudio::GetItemRect(long nRow, wxRect& rect) const
{
    if (nRow < 0 || nRow >= GetItemCount())
        return false;
    // The whole row: the rectangles of its first and last cells together.
    const wxDataViewItem item = RowToItem(static_cast<int>(nRow));
    rect = wxDataViewCtrl::GetItemRect(item, GetColumn(0));
    if (GetColumnCount() > 1)
        rect.Union(wxDataViewCtrl::GetItemRect(item, GetColumn(GetColumnCount() - 1)));
    return !rect.IsEmpty();
}

wxEvtHandler* CLstctrlAudio::ParentHandler() const
{
    // Looked up at each notification: the list may change parents, or have none.
    wxWindow* pParent = GetParent();
    return pParent ? pParent->GetEventHandler() : nullptr;
}

void CLstctrlAudio::OnSelectionChanged(wxDataViewEvent& event)
{
    const int nRow = GetSelectedRow();
    if (nRow != wxNOT_FOUND)
        m_items.SetCurrentRow(nRow);
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_SELCHANGE, nRow != wxNOT_FOUND ? 1 : 0, 0);
}

void CLstctrlAudio::OnActivated(wxDataViewEvent& event)
{
    // Only a double-click plays: the view also "activates" a row on Return and Space.
    if (!m_bActivatedByKey && ItemToRow(event.GetItem()) != wxNOT_FOUND)
        PostWindowMessage(ParentHandler(), WM_AUDIOLIST_DBLCLK, 0, 0);
}

int CLstctrlAudio::RowAt(const wxPoint& screen) const
{
    const wxPoint client = ScreenToClient(screen);
    wxRect row;
    for (int i = 0; i < GetItemCount(); ++i)
        if (GetItemRect(i, row) && row.Contains(client))
            return i;
    return wxNOT_FOUND;
}

wxString CLstctrlAudio::RowToolTip(int nRow) const
{
    const AudioItem* pItem = m_items.Get(nRow);
    if (pItem && pItem->nState == AUDIO_STATE_RECORDING && m_liveClipCount)
    {
        const uint32_t nClipped = m_liveClipCount();
        if (nClipped == 0)
            return "No clipping so far";
        return wxString::Format("Clipped so far: %u samples at full scale", nClipped);
    }
    if (!pItem || (pItem->nState != AUDIO_STATE_RECORDED && pItem->nState != AUDIO_STATE_NEWNAME))
        return wxString();
    if (pItem->nClipped == 0)
        return "No clipping";
    return wxString::Format("Clipped: %u samples at full scale", pItem->nClipped);
}

void CLstctrlAudio::OnMotion(wxMouseEvent& event)
{
    // The toolkit's list has one tooltip: it follows the row under the pointer.
    event.Skip();
    const wxString tip = RowToolTip(RowAt(wxGetMousePosition()));
    if (tip != GetToolTipText())
    {
        if (tip.empty())
            UnsetToolTip();
        else
            SetToolTip(tip);
    }
}

void CLstctrlAudio::OnContextMenu(wxDataViewEvent& event)
{
    // A right-click, on a row or below the rows. The pointer says where: the position and row
    // the view reports come from whichever of its windows took the press, which need not be the rows'.
    wxPoint point = wxGetMousePosition();
    const int nRow = RowAt(point);
    if (nRow != wxNOT_FOUND)
    {
        // As a click would: the row under the pointer becomes the selected and current one.
        if (GetSelectedRow() != nRow)
        {
            SelectRow(static_cast<unsigned>(nRow));
            SendWindowMessage(ParentHandler(), WM_AUDIOLIST_SELCHANGE, 1, 0);
        }
        m_items.SetCurrentRow(nRow);
    }
    SendWindowMessage(ParentHandler(), WM_AUDIOLIST_RCLICK, nRow, reinterpret_cast<intptr_t>(&point));
}

void CLstctrlAudio::OnKeyDown(wxKeyEvent& event)
{
    const int nKey = event.GetKeyCode();
    // The view activates a row within the key's own handling.
    m_bActivatedByKey = nKey == WXK_RETURN || nKey == WXK_NUMPAD_ENTER || nKey == WXK_SPACE;
    if (m_bActivatedByKey)
        CallAfter([this] { m_bActivatedByKey = false; });
    // The Menu key and Shift+F10 open the popup as a right-click on the current row would, at that row.
    const bool bMenuKey = nKey == WXK_MENU || nKey == WXK_WINDOWS_MENU;
    if (!bMenuKey && !(nKey == WXK_F10 && event.GetModifiers() == wxMOD_SHIFT))
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
