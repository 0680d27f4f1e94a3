// The main window's commands: one table drives the popup menu, the keys and the
// update handlers, and every handler asks its rule again (keys reach disabled commands).
#include "MainDlg.h"

#include "AppPaths.h"
#include "DlgAbout.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "FilePaths.h"
#include "IconMenu.h"
#include "MessageBox.h"
#include "RecordingFiles.h"
#include "SettingsSheet.h"
#include "Shell.h"
#include "Skins.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

const char* const VORANE_WEB_SITE = "https://vorane.example.org";
const char* const HELP_FILE_NAME = "Recorder.html";

namespace
{
const char* const PAUSE_TEXT = "Pause\tCtrl+Space";
const char* const RESUME_TEXT = "Resume\tCtrl+Space";

// One row per command: the popup text with its key, the picture beside it, when it may
// run and what it does. The popup, the keys and the update handlers all ask this table.
struct MainCommand
{
    int nId;
    const char* pszText;
    unsigned nBitmap;
    bool (CMainDlg::*enabled)();
    void (CMainDlg::*run)();
};

const MainCommand COMMANDS[] = {
    {ID_CMD_RECORD, "&Record\tAlt+R", 144, nullptr, nullptr},
    {ID_CMD_PLAY, "Play\tCtrl+P", 142, &CMainDlg::CanPlay, &CMainDlg::OnPlay},
    {ID_CMD_PAUSE, PAUSE_TEXT, 0, nullptr, nullptr},
    {ID_CMD_STOP, "&Stop\tAlt+S", 141, nullptr, nullptr},
    {0, nullptr, 0, nullptr, nullptr},
    {ID_CMD_SETTINGS, "S&ettings...\tAlt+E", 147, nullptr, &CMainDlg::OnSettings},
    {ID_CMD_GOTOFOLDER, "Go to the folder\tCtrl+G", 143, &CMainDlg::HasCurrentRow, &CMainDlg::OnGoToFolder},
    {0, nullptr, 0, nullptr, nullptr},
    {ID_CMD_RENAME, "Rename...\tCtrl+R", 151, &CMainDlg::CurrentFileIsFinished, &CMainDlg::OnRename},
    {ID_CMD_DELETEFROMLIST, "Delete from the list\tCtrl+L", 0, &CMainDlg::HasCurrentRow, &CMainDlg::OnDeleteFromList},
    {ID_CMD_DELETEFROMDISK, "Delete from the disk\tCtrl+D", 140, &CMainDlg::CurrentFileIsFinished,
     &CMainDlg::OnDeleteFromDisk},
    {ID_CMD_CLEARALL, "Clear all\tCtrl+E", 0, &CMainDlg::HasRows, &CMainDlg::OnClearAll},
    {0, nullptr, 0, nullptr, nullptr},
    {ID_CMD_HELP, "&Help Contents\tF1", 139, &CMainDlg::Always, &CMainDlg::OnHelp},
    {ID_CMD_WEBSITE, "Vorane Software Web Site\tCtrl+W", 146, &CMainDlg::Always, &CMainDlg::OnWebSite},
    {ID_CMD_ABOUT, "&About...\tAlt+A", 148, &CMainDlg::Always, &CMainDlg::OnAbout},
    {0, nullptr, 0, nullptr, nullptr},
    {ID_CMD_EXIT, "Exit\tCtrl+X", 149, &CMainDlg::Always, nullptr},
};

const MainCommand* FindCommand(int nId)
{
    for (const MainCommand& c : COMMANDS)
        if (c.nId == nId && nId != 0)
            return &c;
    return nullptr;
}
}  // namespace

void CMainDlg::OnGoToFolder()
{
    const int nRow = m_lstAudio->GetCurIndex();
    if (nRow < 0)
        return;
    AudioItem* pItem = m_lstAudio->GetAudio(nRow);
    if (!pItem)
        return;
    char szFolder[256] = {};
    if (!GetFileDir(pItem->szPath, szFolder, sizeof(szFolder)))
        return;
    ShellExecuteA(Handle(), "explore", szFolder[0] ? szFolder : "/", nullptr, nullptr, SW_SHOW);
}

bool CMainDlg::HasCurrentRow()
{
    return m_lstAudio->GetCurIndex() != -1;
}

bool CMainDlg::CurrentFileExists()
{
    AudioItem* pItem = m_lstAudio->GetCurAudio();
    return pItem && FileExists(pItem->szPath);
}

bool CMainDlg::CurrentFileIsFinished()
{
    AudioItem* pItem = m_lstAudio->GetCurAudio();
    return pItem && pItem->nState != AUDIO_STATE_RECORDING && FileExists(pItem->szPath);
}

bool CMainDlg::HasRows()
{
    return m_lstAudio->GetItemCount() > 0;
}

bool CMainDlg::IsCommandEnabled(int nId)
{
    switch (nId)
    {
    case ID_CMD_RECORD:
    case ID_CMD_SETTINGS:
        return IsIdle();
    case ID_CMD_STOP:
    case ID_CMD_PAUSE:
        return IsRecording();
    default:
        break;
    }
    const MainCommand* pCommand = FindCommand(nId);
    return pCommand && pCommand->enabled && (this->*pCommand->enabled)();
}

void CMainDlg::OnUpdateCommand(wxUpdateUIEvent& event)
{
    event.Enable(IsCommandEnabled(event.GetId()));
    if (event.GetId() == ID_CMD_PAUSE)
        event.SetText(IsPaused() ? RESUME_TEXT : PAUSE_TEXT);
}

void CMainDlg::OnUpdateRecordButton(wxUpdateUIEvent& event)
{
    // Alt+R stays the key of this button whatever it says.
    event.Enable(IsIdle() || IsRecording());
    event.SetText(IsPaused() ? "&Resume" : IsRecording() ? "Pause" : "&Record");
}

void CMainDlg::OnPause()
{
    if (!IsRecording())
        return;
    if (m_bPaused ? m_session.Resume() : m_session.Pause())
        m_bPaused = !m_bPaused;
    m_btnRecord->UpdateWindowUI();
    m_wndWaveform->SetPaused(m_bPaused);
    if (AudioItem* pRow = RecordingRow())
    {
        pRow->bPaused = m_bPaused;
        m_lstAudio->UpdateAudioText(pRow);
    }
}

void CMainDlg::OnCommand(wxCommandEvent& event)
{
    // Alt+R is the Record button's key, and that button pauses while recording.
    const int nId = event.GetId() == ID_CMD_RECORD && IsRecording() ? ID_CMD_PAUSE : event.GetId();
    if (!IsCommandEnabled(nId))
        return;
    wxCommandEvent button(wxEVT_BUTTON, nId);
    switch (nId)
    {
    case ID_CMD_RECORD:
        OnRecord(button);
        return;
    case ID_CMD_PAUSE:
        OnPause();
        return;
    case ID_CMD_STOP:
        OnStop(button);
        return;
    case ID_CMD_EXIT:
        Close();
        return;
    default:
        break;
    }
    if (const MainCommand* pCommand = FindCommand(nId); pCommand && pCommand->run)
        (this->*pCommand->run)();
}

void CMainDlg::OnButton(wxCommandEvent& event)
{
    switch (event.GetId())
    {
    case IDC_BUTTON_SETTINGS:
        OnSettings();
        break;
    case IDC_BUTTON_HELP:
        OnHelp();
        break;
    case IDC_BUTTON_ABOUT:
        OnAbout();
        break;
    default:
        break;
    }
}

void CMainDlg::ShowPopupMenu(const wxPoint& point)
{
    CIconMenu menu;
    menu.CreatePopupMenu();
    menu.SetMenuItemHeight(20);
    menu.SetMenuItemWidth(220);
    menu.SetMenuDrawMode(3);
    for (const MainCommand& c : COMMANDS)
    {
        if (c.nId == 0)
            menu.AppendMenu(MF_SEPARATOR);
        else
            menu.AppendMenu(MF_STRING | (IsCommandEnabled(c.nId) ? MF_ENABLED : MF_GRAYED),
                            static_cast<unsigned>(c.nId),
                            c.nId == ID_CMD_PAUSE && IsPaused() ? RESUME_TEXT : c.pszText, c.nBitmap);
    }
    // The chosen command comes back as an ordinary menu command, checked again there.
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_LEFTBUTTON, point.x, point.y, this);
    menu.DestroyMenu();
}

void CMainDlg::OnSettings()
{
    // The recording reads the record the pages write.
    if (!IsIdle())
        return;
    RunSettingsSheet(this);
}

void CMainDlg::OnPlay()
{
    AudioItem* pItem = m_lstAudio->GetCurAudio();
    if (!pItem || !FileExists(pItem->szPath))
        return;
    if (IsMiniPlayerFile(pItem->szPath))
    {
        CDlgPlayer player(this, pItem->szPath);
        player.ShowModal();
        return;
    }
    // Other types (OGG) go to the desktop's own player.
    if (ShellExecuteA(Handle(), "open", pItem->szPath, nullptr, nullptr, SW_SHOW) <= 32)
        MessageBoxA(Handle(), "Sorry,This audio file play wrong.", APP_CAPTION, MB_ICONHAND);
}

void CMainDlg::OnRename()
{
    const int nRow = m_lstAudio->GetCurIndex();
    if (nRow < 0 || !CurrentFileIsFinished())
        return;
    AudioItem* pItem = m_lstAudio->GetAudio(nRow);
    CDlgRename dialog(this);
    dialog.SetOldPath(pItem->szPath);
    std::vector<std::string> others;
    m_lstAudio->GetOtherNames(nRow, others);
    dialog.SetOtherNames(others);
    if (dialog.ShowModal() != wxID_OK)
        return;
    // The dialog refuses names a row cannot hold, so nothing is cut here.
    pItem->SetPath(dialog.GetNewPath().c_str());
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_NEWNAME;
    m_lstAudio->UpdateAudioText(pItem);
    m_wndWaveform->SetPath(pItem->szPath);
}

void CMainDlg::OnDeleteFromList()
{
    const int nRow = m_lstAudio->GetCurIndex();
    if (nRow < 0)
        return;
    m_lstAudio->DeleteAudio(nRow);
    if (m_lstAudio->GetItemCount() == 0)
        m_wndWaveform->ShowItem(nullptr);
}

void CMainDlg::OnDeleteFromDisk()
{
    if (!CurrentFileIsFinished())
        return;
    CDlgMsgbx_ question(this, "Delete the file,Are you sure?");
    if (question.ShowModal() != wxID_OK)
        return;
    const int nRow = m_lstAudio->GetCurIndex();
    AudioItem* pItem = nRow < 0 ? nullptr : m_lstAudio->GetAudio(nRow);
    // The question was modal: a recording may have been started on this row meanwhile.
    if (!pItem || pItem->nState == AUDIO_STATE_RECORDING)
        return;
    // A file that stays on the disk keeps its row, and the user learns why.
    if (unlink(pItem->szPath) != 0 && errno != ENOENT)
    {
        const std::string text = std::string("The file could not be deleted: ") + std::strerror(errno) + ".";
        MessageBoxA(Handle(), text.c_str(), APP_CAPTION, MB_ICONHAND);
        return;
    }
    m_lstAudio->DeleteAudio(nRow);
    if (m_lstAudio->GetItemCount() == 0)
        m_wndWaveform->ShowItem(nullptr);
}

void CMainDlg::OnClearAll()
{
    m_lstAudio->DeleteAllAudio();
    m_wndWaveform->ShowItem(nullptr);
}

void CMainDlg::OnHelp()
{
    const std::string path = GetAppDir() + "/" + HELP_FILE_NAME;
    ShellExecuteA(Handle(), "open", path.c_str(), nullptr, nullptr, SW_SHOW);
}

void CMainDlg::OnWebSite()
{
    ShellExecuteA(Handle(), "open", VORANE_WEB_SITE, nullptr, nullptr, SW_SHOW);
}

void CMainDlg::OnAbout()
{
    CDlgAbout about(this);
    about.ShowModal();
}

void CMainDlg::OnSkins(wxCommandEvent&)
{
    int t = g_nSkinNumber;
    if (t < 1 || t > 4)
        t = 1;
    t = t + 1;
    if (t > 4)
        t = 1;
    g_nSkinNumber = t;
    // Every control takes its new colours before the window is painted again. The window stays on
    // the screen (hiding it lost the keyboard focus, and with it the next key press).
    Freeze();
    LoadSkin(t);
    Thaw();
    Refresh();
}

void CMainDlg::OnAudioListSelChange(CWindowMessageEvent& event)
{
    AudioItem* pItem = m_lstAudio->GetCurAudio();
    m_wndWaveform->ShowItem(pItem && FileExists(pItem->szPath) ? pItem : nullptr);
    event.SetResult(0);
}

void CMainDlg::OnAudioListRClick(CWindowMessageEvent& event)
{
    // One click can be reported twice (below the rows, then on the row): one popup for both,
    // shown once the list has finished with the click.
    if (event.LParam())
        m_popupPoint = *reinterpret_cast<const wxPoint*>(event.LParam());
    if (!m_bPopupPending)
    {
        m_bPopupPending = true;
        CallAfter([this] {
            m_bPopupPending = false;
            ShowPopupMenu(m_popupPoint);
        });
    }
    event.SetResult(0);
}

void CMainDlg::OnAudioListDblClk(CWindowMessageEvent& event)
{
    // A double-click plays whatever the state: the player is modal, Stop waits for it.
    OnPlay();
    event.SetResult(0);
}
