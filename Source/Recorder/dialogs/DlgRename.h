// The rename dialog: gives a recording's file a new name in its own folder.
// The new name always ends in the old file's extension (lower case), must be
// 1 to 16 characters before it, must not be the old name nor a name another
// row of the list shows, and must stay a plain name in the folder (no '/',
// not "..", no control character, no leading '.'). An existing file of the
// new name is replaced only after the user agrees. The dialog moves the file
// itself; a move that fails is reported and changes nothing.
//
// Threads: main thread only; the rules below need no window and run anywhere.
#pragma once
#include "HoverButton.h"

#include <wx/dialog.h>
#include <wx/textctrl.h>

#include <string>
#include <vector>

enum
{
    IDC_RENAME_OLDNAME = 1019,
    IDC_RENAME_BUTTON = 1020,
    IDC_RENAME_NEWNAME = 1024,
};

// The longest full path and name, in bytes, that a row of the recordings list keeps.
constexpr size_t RENAME_MAX_PATH_BYTES = 255;
constexpr size_t RENAME_MAX_NAME_BYTES = 63;

class CDlgRename : public wxDialog
{
public:
    explicit CDlgRename(wxWindow* pParent);

    void SetOldPath(const std::string& path) { m_strOldPath = path; }
    void SetOtherNames(const std::vector<std::string>& names) { m_arrOtherNames = names; }
    // The full path after a rename that returned wxID_OK.
    std::string GetNewPath() const { return m_strNewPath; }
    // wxID_OK only when the file now has the new path; anything else changed nothing.
    int ShowModal() override;

    // What the Rename button and Enter do: checks the name, asks, moves; closes on success.
    void OnRename();

private:
    void InitFields();
    void OnNewNameChanged(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    // Shows the refusal and puts the focus back into the new name.
    void Refuse(const std::string& text);

    std::string m_strOldPath;
    std::string m_strNewPath;
    std::vector<std::string> m_arrOtherNames;
    std::string m_strExtension;  // lower case, without the dot
    wxTextCtrl* m_edtNewName = nullptr;
    wxTextCtrl* m_edtOldName = nullptr;
    CHoverButton* m_btnRename = nullptr;
};

// The typed text cut at its last '.' and given the extension: "song" gives "song.wav", "x.mp3" gives "x.wav".
std::string KeepExtension(const std::string& text, const std::string& ext);
// Why the typed name (UTF-8) is refused, as the message to show; empty when it passes.
std::string RefusalOfNewName(const std::string& newName, const std::string& oldName,
                             const std::vector<std::string>& otherNames);

// Moves the file within its folder. A file of the new path is replaced only
// with bReplace; a new path that names the old file itself (a name differing
// in letter case in a folder that ignores case) ends with the new name and
// never deletes the file. Returns 0 or the errno of the failure, with
// nothing changed.
int MoveRecordingFile(const std::string& oldPath, const std::string& newPath, bool bReplace);
