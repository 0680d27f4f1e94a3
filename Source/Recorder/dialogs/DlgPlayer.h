// The mini player "Mini Audio Player": plays one recording from its start
// at once, once, and shows the file name with the playing position against
// the length ("File: %s\r\nTime: %s/%s", on two lines). Its media window
// has a play bar to pause, replay and seek. Enter, Escape and "&Exit" close
// it, which stops the playback. A file that cannot be opened gives a player
// that does not play, and no message.
//
// Threads: main thread only; the text functions below run anywhere.
#pragma once
#include "HoverButton.h"
#include "MediaWindow.h"

#include <wx/dialog.h>
#include <wx/stattext.h>  // before the generic one, which would hide wxStaticText
#include <wx/generic/stattextg.h>

#include <string>

enum
{
    IDC_PLAYER_INFO = 1012,
    IDC_PLAYER_EXIT = 1020,
    IDC_PLAYER_MEDIA = 1022,
};

class CDlgPlayer : public wxDialog
{
public:
    CDlgPlayer(wxWindow* pParent, const std::string& path);
    int ShowModal() override;

    // The information text as shown (its line break as the platform writes it).
    wxString GetInfoText() const { return m_stcInfo->GetLabelText(); }
    // None when the path is empty or no player could be made.
    CMediaWindow* GetMediaWindow() const { return m_wndMedia; }
    wxWindow* GetInfoControl() const { return m_stcInfo; }

private:
    void InitPlayer();
    void LayoutPlayer();
    void OnSize(wxSizeEvent& event);
    void OnPosition(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);

    std::string m_strPath;
    CMediaWindow* m_wndMedia = nullptr;
    // A generic static: GTK's own labels draw no border.
    wxGenericStaticText* m_stcInfo = nullptr;
    CHoverButton* m_btnExit = nullptr;
};

// Whether the Play command gives the file to the mini player: its extension,
// in any letter case, is mp3, wav or wma. Other files go to the shell.
bool IsMiniPlayerFile(const char* pszPath);
// A position or length in milliseconds as the player shows it: "mm:ss" while
// the length is below an hour, "hh:mm:ss" from an hour on, so both look alike.
std::string PlayerTimeText(long nValue, long nLength);
// "File: <name>\r\nTime: <position>/<length>"; the name is what follows the
// last '/' (empty for a path shorter than 8 characters or without '/').
std::string PlayerInfoText(const std::string& path, long nPosition, long nLength);
