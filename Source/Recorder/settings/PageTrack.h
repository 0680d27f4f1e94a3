// The "Track info" page: artist, album title, title and year of the tags
// that every MP3, OGG and WMA recording carries.
//
// Typing stops at 30 characters (the width of an ID3v1 field); a longer text
// from the configuration file is shown and stored back whole, up to 255 bytes.
// The year list offers the current year and the nine before it, oldest first.
// Main thread only.
#pragma once
#include "ResizablePage.h"

#include <wx/choice.h>
#include <wx/textctrl.h>

// An edit whose typed (or pasted) text stops at a number of characters, while
// text set by the program may be longer. Where the text is already longer,
// typing adds nothing; deleting always works.
class CLimitedEdit : public wxTextCtrl
{
public:
    CLimitedEdit(wxWindow* pParent, wxWindowID id, size_t nLimit);
    void SetText(const wxString& text);
    size_t GetTypingLimit() const { return m_nLimit; }

private:
    void OnText(wxCommandEvent& event);

    size_t m_nLimit;
    wxString m_accepted;  // the text as it was before the last change
};

class CPageTrack : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_ARTIST = 1028,
        IDC_ALBUM = 1029,
        IDC_TITLE = 1030,
        IDC_YEAR = 1031,
    };
    static const size_t TYPING_LIMIT = 30;

    CPageTrack();

    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;

private:
    int m_nYears;  // how many years the list offers
    CLimitedEdit* m_editArtist = nullptr;
    CLimitedEdit* m_editAlbum = nullptr;
    CLimitedEdit* m_editTitle = nullptr;
    wxChoice* m_cmbYear = nullptr;
};
