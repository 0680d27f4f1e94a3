// The recordings list of the main window: one row per recording made since the
// program started, with the file's type icon and name and a state text; every
// other row shaded. It owns the AudioItem records, keeps the "current" row the
// main window's commands act on, and tells its parent about right-clicks,
// double-clicks and selection changes (WindowMessages.h). It is the toolkit's own
// list (a GtkTreeView), so a screen reader reads its rows, their texts and the
// selected row with nothing added.
//
// Threads: main thread only.
#pragma once
#include "AudioItem.h"
#include "FileTypeIcons.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <wx/dataview.h>

class CLstctrlAudio : public wxDataViewListCtrl
{
public:
    static const wxColour ODD_ROW_COLOUR;  // 232, 232, 232
    // The shade of odd rows on a list of that background: ODD_ROW_COLOUR on a light one,
    // a step lighter on a dark one, so the row's text keeps its contrast.
    static wxColour OddRowColour(const wxColour& background);

    CLstctrlAudio(wxWindow* pParent, wxWindowID id = 1001, const wxPoint& pos = wxDefaultPosition,
                  const wxSize& size = wxDefaultSize);
    ~CLstctrlAudio() override;

    // Columns "Audio" and "State", centred, and the type icons. Once, after creation.
    bool InitList();
    // Appends a row for the record and takes ownership of it; returns the new row,
    // which becomes the current row. The list scrolls to it.
    int AddAudio(AudioItem* pItem);
    // Rewrites the record's row from its state: "Recording..." ("Paused" while paused), "Record over", or
    // (after a rename) its new name. Other states leave the row as it is.
    bool UpdateAudioText(AudioItem* pItem);
    int GetCurIndex();
    AudioItem* GetAudio(int nRow);
    AudioItem* GetCurAudio();
    AudioItem* FindRecordingAudio();
    void UpdateAudioInfo(const AudioItem& item);
    // Frees the record of that row and removes the row; later rows move up. 0 when no
    // record has that row.
    int DeleteAudio(int nRow);
    void DeleteAllAudio();
    // The first-column texts of every row except nRow, in row order.
    void GetOtherNames(int nRow, std::vector<std::string>& names);
    // A row's text in a column (0 the name, 1 the state).
    wxString GetItemText(long nRow, int nColumn = 0) const;
    // A row's rectangle in the list's client coordinates; false when there is no such row.
    bool GetItemRect(long nRow, wxRect& rect) const;
    int GetSelectedItemCount() const { return GetSelectedItemsCount(); }
    // The row under a point of the screen, or wxNOT_FOUND.
    int RowAt(const wxPoint& screen) const;
    // What the pointer over a row shows: how much of a recording clipped, so far for the running one.
    wxString RowToolTip(int nRow) const;
    // Where the running recording's clip count comes from while its row has none yet.
    void SetLiveClipCount(std::function<uint32_t()> count) { m_liveClipCount = std::move(count); }

private:
    class CRows;

    wxEvtHandler* ParentHandler() const;
    void OnSelectionChanged(wxDataViewEvent& event);
    void OnActivated(wxDataViewEvent& event);
    void OnContextMenu(wxDataViewEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnMotion(wxMouseEvent& event);

    CAudioItemArray m_items;
    CFileTypeIcons m_icons;
    // Return activates a row as a double-click does; only the double-click plays.
    bool m_bActivatedByKey = false;
    std::function<uint32_t()> m_liveClipCount;

    wxDECLARE_EVENT_TABLE();
};
