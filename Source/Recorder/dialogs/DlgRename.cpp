#include "DlgRename.h"

#include "DlgMsgbx.h"
#include "FilePaths.h"

#include <wx/sizer.h>
#include <wx/statbox.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Limits in characters, the extension included: a base name of 1 to 16 before ".wav".
constexpr size_t kMinNameLength = 5;
constexpr size_t kMaxNameLength = 20;
constexpr int kMaxBaseLength = 16;

size_t CountCharacters(const std::string& text)
{
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

// A name that would leave the folder, hide the file or break a terminal. Two dots
// inside a name ("take..2") stay in the folder: without a '/', only the name ".."
// itself would leave it, and the leading dot already refuses that one.
bool IsHostileName(const std::string& name)
{
    if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos)
        return true;
    for (size_t i = 0; i < name.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        // C0 controls and DEL, and the C1 controls U+0080 to U+009F (0xc2 0x80 .. 0xc2 0x9f in UTF-8).
        if (c < 0x20 || c == 0x7f || (c == 0xc2 && i + 1 < name.size() && (static_cast<unsigned char>(name[i + 1]) & 0xe0) == 0x80))
            return true;
    }
    return false;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Renames without replacing anything; 0 or the errno.
int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot refuse to replace: looking first is the best there is.
    struct stat st;
    if (lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// The new path names the old file itself. A plain rename would do nothing there,
// so the file takes a free temporary name first and then the new one.
int MoveThroughTemporaryName(const std::string& oldPath, const std::string& newPath)
{
    const std::string dir = oldPath.substr(0, oldPath.rfind('/') + 1);
    std::string temporary;
    int nError = EEXIST;
    for (int i = 0; i < 100 && nError == EEXIST; ++i)
    {
        temporary = dir + ".vorane-rename-" + std::to_string(getpid()) + "-" + std::to_string(i);
        nError = RenameNoReplace(oldPath, temporary);
    }
    if (nError != 0)
        return nError;
    if (std::rename(temporary.c_str(), newPath.c_str()) != 0)
    {
        nError = errno;
        std::rename(temporary.c_str(), oldPath.c_str());
        return nError;
    }
    // Where the two names were two links of one file (a folder that keeps case),
    // both stay after the rename; the temporary one is dropped, the file lives on under the new one.
    struct stat left, target;
    if (lstat(temporary.c_str(), &left) == 0 && lstat(newPath.c_str(), &target) == 0 && SameFile(left, target))
        unlink(temporary.c_str());
    return 0;
}
}  // namespace

std::string KeepExtension(const std::string& text, const std::string& ext)
{
    const size_t nDot = text.rfind('.');
    return (nDot == std::string::npos ? text : text.substr(0, nDot)) + "." + ext;
}

std::string RefusalOfNewName(const std::string& newName, const std::string& oldName,
                             const std::vector<std::string>& otherNames)
{
    const size_t nLength = CountCharacters(newName);
    if (nLength < kMinNameLength)
        return "Please input new file name.";
    if (nLength > kMaxNameLength)
    {
        char text[64];
        std::snprintf(text, sizeof(text), "Too long file name.( <= %d )", kMaxBaseLength);
        return text;
    }
    if (IsHostileName(newName))
        return "Invalid file name.( no '/', '..' or control characters, no '.' at the start )";
    if (newName.size() > RENAME_MAX_NAME_BYTES)
        return "Too long file name.( <= " + std::to_string(RENAME_MAX_NAME_BYTES) + " bytes )";
    if (newName == oldName)
        return "New file name is the same as original file name.";
    if (std::find(otherNames.begin(), otherNames.end(), newName) != otherNames.end())
        return "New file name is exist.";
    return {};
}

int MoveRecordingFile(const std::string& oldPath, const std::string& newPath, bool bReplace)
{
    struct stat from, to;
    if (lstat(oldPath.c_str(), &from) != 0)
        return errno;
    if (oldPath == newPath)
        return 0;
    const bool bTargetExists = lstat(newPath.c_str(), &to) == 0;
    if (bTargetExists && SameFile(from, to))
        return MoveThroughTemporaryName(oldPath, newPath);
    if (!bReplace)
        return RenameNoReplace(oldPath, newPath);
    return std::rename(oldPath.c_str(), newPath.c_str()) == 0 ? 0 : errno;
}

CDlgRename::CDlgRename(wxWindow* pParent) : wxDialog(pParent, wxID_ANY, "Rename")
{
    // Made in reading order, the fields beside their boxes rather than inside them: GTK then
    // gives each box's mnemonic to the field after it, and Tab goes from top to bottom.
    auto* pOldBox = new wxStaticBoxSizer(wxVERTICAL, this, "&Existing file name");
    m_edtOldName = new wxTextCtrl(this, IDC_RENAME_OLDNAME, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                  wxTE_READONLY);
    auto* pNewBox = new wxStaticBoxSizer(wxVERTICAL, this, "&New file name");
    m_edtNewName = new wxTextCtrl(this, IDC_RENAME_NEWNAME);
    m_btnRename = new CHoverButton(this, IDC_RENAME_BUTTON, "&Rename");
    m_btnRename->SetDefault();

    pOldBox->Add(m_edtOldName, wxSizerFlags().Expand().Border(wxALL));
    pNewBox->Add(m_edtNewName, wxSizerFlags().Expand().Border(wxALL));
    auto* pTop = new wxBoxSizer(wxVERTICAL);
    pTop->Add(pOldBox, wxSizerFlags().Expand().DoubleBorder(wxLEFT | wxRIGHT | wxTOP));
    pTop->Add(pNewBox, wxSizerFlags().Expand().DoubleBorder(wxLEFT | wxRIGHT | wxTOP));
    pTop->Add(m_btnRename, wxSizerFlags().Right().DoubleBorder(wxALL));
    // At least the size of its design, 168 by 86 dialog units; wider for a larger font.
    pTop->SetMinSize(ConvertDialogToPixels(wxSize(168, 86)));
    SetSizerAndFit(pTop);

    m_edtNewName->Bind(wxEVT_TEXT, &CDlgRename::OnNewNameChanged, this);
    Bind(wxEVT_CHAR_HOOK, &CDlgRename::OnCharHook, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRename(); }, IDC_RENAME_BUTTON);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });
}

int CDlgRename::ShowModal()
{
    InitFields();
    CentreOnParent();
    m_edtNewName->SetFocus();
    return wxDialog::ShowModal();
}

void CDlgRename::InitFields()
{
    if (m_strOldPath.empty())
        return;
    m_btnRename->UseProgramHoverLook();
    std::string oldName, ext;
    if (!GetFileName(m_strOldPath.c_str(), oldName) || !GetFileExt(m_strOldPath.c_str(), ext))
        return;
    m_strExtension = ext;
    m_edtOldName->ChangeValue(wxString::FromUTF8(oldName));
    m_edtNewName->ChangeValue(wxEmptyString);
}

void CDlgRename::OnNewNameChanged(wxCommandEvent& event)
{
    event.Skip();
    if (m_strExtension.empty())
        return;
    const wxString text = m_edtNewName->GetValue();
    const wxString kept = wxString::FromUTF8(KeepExtension(text.utf8_string(), m_strExtension));
    if (kept == text)
        return;
    // The caret stays where the user typed, inside the name and before the extension.
    const long nBase = static_cast<long>(kept.length() - wxString::FromUTF8(m_strExtension).length() - 1);
    const long nCaret = std::min(m_edtNewName->GetInsertionPoint(), nBase);
    m_edtNewName->ChangeValue(kept);
    m_edtNewName->SetInsertionPoint(nCaret);
}

void CDlgRename::OnCharHook(wxKeyEvent& event)
{
    switch (event.GetKeyCode())
    {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        OnRename();
        break;
    case WXK_ESCAPE:
        EndModal(wxID_CANCEL);
        break;
    default:
        event.Skip();
    }
}

void CDlgRename::Refuse(const std::string& text)
{
    CDlgErrorMsgbx box(this, wxString::FromUTF8(text));
    box.ShowModal();
    m_edtNewName->SetFocus();
}

void CDlgRename::OnRename()
{
    const std::string newName = m_edtNewName->GetValue().utf8_string();
    const std::string refusal = RefusalOfNewName(newName, m_edtOldName->GetValue().utf8_string(), m_arrOtherNames);
    if (!refusal.empty())
        return Refuse(refusal);

    std::vector<char> dir(std::max<size_t>(64, m_strOldPath.size() + 1), '\0');
    if (!GetFileDir(m_strOldPath.c_str(), dir.data(), dir.size()))
        return;
    const std::string newPath = std::string(dir.data()) + "/" + newName;
    if (newPath.size() > RENAME_MAX_PATH_BYTES)
        return Refuse("Too long file path.( <= " + std::to_string(RENAME_MAX_PATH_BYTES) + " bytes )");

    struct stat st;
    const bool bExists = lstat(newPath.c_str(), &st) == 0;
    if (bExists)
    {
        CDlgMsgbx_ ask(this, "The File has been existen, Overwrite it?");
        if (ask.ShowModal() != wxID_OK)
        {
            m_edtNewName->SetFocus();
            return;
        }
    }
    if (const int nError = MoveRecordingFile(m_strOldPath, newPath, bExists))
        return Refuse("Cannot rename the file.( " + std::string(std::strerror(nError)) + " )");
    m_strNewPath = newPath;
    EndModal(wxID_OK);
}
