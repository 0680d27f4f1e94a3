#include "MainDlg.h"

#include "AppIcon.h"
#include "AppPaths.h"
#include "DlgAbout.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "FilePaths.h"
#include "IconMenu.h"
#include "MessageBox.h"
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "SettingsSheet.h"
#include "Shell.h"
#include "Skins.h"
#include "WaveIn.h"
#include "WindowClass.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <wx/dcclient.h>
#include <wx/accel.h>
#include <wx/display.h>
#include <wx/settings.h>

wxBEGIN_EVENT_TABLE(CMainDlg, wxDialog)
    EVT_BUTTON(IDC_BUTTON_RECORD, CMainDlg::OnRecord)
    EVT_BUTTON(IDC_BUTTON_STOP, CMainDlg::OnStop)
    EVT_BUTTON(IDC_BUTTON_SKINS, CMainDlg::OnSkins)
    EVT_BUTTON(IDC_BUTTON_SETTINGS, CMainDlg::OnButton)
    EVT_BUTTON(IDC_BUTTON_HELP, CMainDlg::OnButton)
    EVT_BUTTON(IDC_BUTTON_ABOUT, CMainDlg::OnButton)
    EVT_MENU_RANGE(ID_CMD_RECORD, ID_CMD_RENAME, CMainDlg::OnCommand)
    EVT_UPDATE_UI_RANGE(ID_CMD_RECORD, ID_CMD_RENAME, CMainDlg::OnUpdateCommand)
    EVT_TIMER(IDT_SHOW, CMainDlg::OnTimer)
    EVT_CLOSE(CMainDlg::OnClose)
    EVT_ICONIZE(CMainDlg::OnIconize)
    EVT_CHAR_HOOK(CMainDlg::OnCharHook)
    EVT_PAINT(CMainDlg::OnPaint)
    EVT_WINDOW_MESSAGE(WM_WAVEFORM_STOPPED, CMainDlg::OnWaveformStopped)
    EVT_WINDOW_MESSAGE(WM_AUDIOLIST_SELCHANGE, CMainDlg::OnAudioListSelChange)
    EVT_WINDOW_MESSAGE(WM_AUDIOLIST_RCLICK, CMainDlg::OnAudioListRClick)
    EVT_WINDOW_MESSAGE(WM_AUDIOLIST_DBLCLK, CMainDlg::OnAudioListDblClk)
wxEND_EVENT_TABLE()

const char* const VORANE_WEB_SITE = "https://vorane.example.org";
const char* const HELP_FILE_NAME = "Recorder.html";

namespace
{
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

const char* const MAIN_CAPTION = "Vorane Audio Recorder";

// The window's client area: the 480 by 450 window less the frame the window manager adds.
constexpr int CLIENT_WIDTH = 474;
constexpr int CLIENT_HEIGHT = 420;
}  // namespace

CMainDlg::CMainDlg() : m_showTimer(this, IDT_SHOW)
{
}

CMainDlg::~CMainDlg()
{
    // Closing normally ends everything first; this covers a window destroyed some other way.
    m_session.Finish(nullptr, true);
    FreeReceivers();
}

bool CMainDlg::Create()
{
    if (!wxDialog::Create(nullptr, wxID_ANY, MAIN_CAPTION, wxDefaultPosition, wxDefaultSize,
                          wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX, PROGRAM_WINDOW_CLASS))
        return false;
    // Our own font and colours: every child and every paint starts from them instead of asking
    // the theme each time, which the live trace does 25 times a second.
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
    // Enter and Escape never close the main window.
    SetEscapeId(wxID_NONE);
    SetAffirmativeId(wxID_NONE);

    m_hIcon = MakeAppIcon(32);
    wxIconBundle icons;
    icons.AddIcon(MakeAppIcon(16));
    icons.AddIcon(m_hIcon);
    icons.AddIcon(MakeAppIcon(48));
    SetIcons(icons);
    SetTitle(MAIN_CAPTION);

    m_wndWaveform = new CWndWaveform(this, IDC_WAVEFORM);
    m_btnRecord = new CHoverButton(this, IDC_BUTTON_RECORD, "&Record");
    m_btnStop = new CHoverButton(this, IDC_BUTTON_STOP, "&Stop");
    m_btnSettings = new CHoverButton(this, IDC_BUTTON_SETTINGS, "S&ettings...");
    m_btnSkins = new CHoverButton(this, IDC_BUTTON_SKINS, "S&kins");
    m_btnHelp = new CHoverButton(this, IDC_BUTTON_HELP, "&Help");
    m_btnAbout = new CHoverButton(this, IDC_BUTTON_ABOUT, "&About...");
    m_grpAudio = new wxStaticBox(this, IDC_GROUP_AUDIO, "Audio list");
    m_lstAudio = new CLstctrlAudio(this, IDC_LIST_AUDIO);

    m_nRecordState = RECORD_STATE_IDLE;
    m_lstAudio->InitList();
    m_btnStop->Disable();
    for (CHoverButton* pButton : {m_btnRecord, m_btnStop, m_btnSettings, m_btnSkins, m_btnHelp, m_btnAbout})
    {
        pButton->UseProgramHoverLook();
    }

    // The keys of the list's commands; Alt with a letter is each button's own mnemonic.
    const std::pair<int, int> keys[] = {{'E', ID_CMD_CLEARALL},  {'D', ID_CMD_DELETEFROMDISK},
                                        {'L', ID_CMD_DELETEFROMLIST}, {'X', ID_CMD_EXIT},
                                        {'G', ID_CMD_GOTOFOLDER}, {'P', ID_CMD_PLAY},
                                        {'W', ID_CMD_WEBSITE},   {'R', ID_CMD_RENAME}};
    std::vector<wxAcceleratorEntry> accelerators;
    for (const auto& [nKey, nId] : keys)
        accelerators.emplace_back(wxACCEL_CTRL, nKey, nId);
    accelerators.emplace_back(wxACCEL_NORMAL, WXK_F1, ID_CMD_HELP);
    // Record and Stop act on the key press itself: a button's mnemonic waits for the key's release,
    // which GTK only hands to a focused button, and otherwise for a quarter of a second.
    accelerators.emplace_back(wxACCEL_ALT, 'R', ID_CMD_RECORD);
    accelerators.emplace_back(wxACCEL_ALT, 'S', ID_CMD_STOP);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(accelerators.size()), accelerators.data()));

    SetClientSize(CLIENT_WIDTH, CLIENT_HEIGHT);
    SetSizeHints(GetSize(), GetSize());
    CenterInWorkArea();
    LayoutControls();
    // The view publishes itself to the capture engine as it is created; say so once more, as
    // the window that owns the recordings.
    SetWaveformView(m_wndWaveform);
    // The devices are listed and the encoders loaded now, not when the user presses Record.
    m_session.PrepareAhead();
    m_showTimer.StartOnce(5);
    return true;
}

void CMainDlg::CenterInWorkArea()
{
    const int nDisplay = wxDisplay::GetFromWindow(this);
    const wxRect work = wxDisplay(nDisplay == wxNOT_FOUND ? 0u : static_cast<unsigned>(nDisplay)).GetClientArea();
    const wxSize size = GetSize();
    Move(work.x + work.width / 2 - size.x / 2, work.y + work.height / 2 - size.y / 2);
}

void CMainDlg::LayoutControls()
{
    if (!m_grpAudio)
        return;
    const wxSize client = GetClientSize();
    const int W = static_cast<int>((client.x - 55) / 7.0);
    const wxRect view(5, 10, client.x - 10, 100);
    m_wndWaveform->SetSize(view);
    const int nTop = view.GetBottom() + 1 + 10;
    int x = 5;
    const std::pair<CHoverButton*, int> buttons[] = {{m_btnRecord, W}, {m_btnStop, W},  {m_btnSettings, W + 5},
                                                     {m_btnSkins, W},  {m_btnHelp, W},  {m_btnAbout, W + 5}};
    for (const auto& [pButton, nWidth] : buttons)
    {
        pButton->SetSize(x, nTop, nWidth, 25);
        x += nWidth + 5;
    }
    const wxRect group(1, nTop + 25 + 10, client.x - 1, client.y - (nTop + 25 + 10));
    m_grpAudio->SetSize(group);
    m_lstAudio->SetSize(group.x + 5, group.y + 15, group.width - 10, group.height - 20);
    Refresh();
}

void CMainDlg::OnTimer(wxTimerEvent& event)
{
    Show();
    Raise();
}

void CMainDlg::OnIconize(wxIconizeEvent& event)
{
    // Restored, the window comes back to its size in the middle of the work area.
    if (!event.IsIconized())
    {
        CenterInWorkArea();
        LayoutControls();
    }
    event.Skip();
}

void CMainDlg::OnCharHook(wxKeyEvent& event)
{
    // Enter and Escape do nothing here; a focused button still takes Enter itself.
    if (event.GetKeyCode() == WXK_ESCAPE)
        return;
    event.Skip();
}

void CMainDlg::OnPaint(wxPaintEvent& event)
{
    // The controls and the skin paint everything; an iconified window is drawn by the desktop.
    wxPaintDC dc(this);
}

void CMainDlg::SetRecordState(int nState)
{
    m_nRecordState = nState;
    const bool bIdle = nState == RECORD_STATE_IDLE;
    m_btnRecord->Enable(bIdle);
    m_btnStop->Enable(!bIdle);
    m_btnSettings->Enable(bIdle);
}

void CMainDlg::OnRecord(wxCommandEvent&)
{
    // Keys can reach a disabled command.
    if (m_nRecordState != RECORD_STATE_IDLE)
        return;
    SetRecordState(RECORD_STATE_RECORDING);
    RecordingRequest request;
    request.nOutputFormat = theSettings.OutputFormat;
    request.folder = OutputFolder();
    // A row holds its path in a fixed field: a longer one would point at another file.
    request.nMaxPathBytes = sizeof(AudioItem::szPath);
    if (!m_session.Start(request, Handle()))
    {
        SetRecordState(RECORD_STATE_IDLE);
        return;
    }
    const RecordingInfo& info = m_session.Info();
    auto* pItem = new AudioItem;
    pItem->SetPath(m_session.Path().c_str());
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_RECORDING;
    pItem->nBitrate = info.nBitrate;
    pItem->nSampleRate = info.nSampleRate;
    pItem->nChannels = info.nChannels;
    pItem->nBitsPerSample = info.nBitsPerSample;
    m_recordingPath = pItem->szPath;
    m_wndWaveform->StartRecording(pItem);
    // Test tones are no recording of the user's: the view says where they come from.
    m_wndWaveform->SetSourceNote(info.bTestSignal ? "Virtual input: test tones, no sound server" : "");
    m_lstAudio->AddAudio(pItem);
}

void CMainDlg::OnStop(wxCommandEvent&)
{
    if (m_nRecordState == RECORD_STATE_RECORDING)
    {
        m_session.Stop();
        CompleteRecording(false);
    }
    SetRecordState(RECORD_STATE_IDLE);
}

AudioItem* CMainDlg::RecordingRow()
{
    if (m_recordingPath.empty())
        return nullptr;
    for (int nRow = 0; nRow < m_lstAudio->GetItemCount(); ++nRow)
        if (AudioItem* pItem = m_lstAudio->GetAudio(nRow);
            pItem && pItem->nState == AUDIO_STATE_RECORDING && m_recordingPath == pItem->szPath)
            return pItem;
    return nullptr;
}

void CMainDlg::CompleteRecording(bool bQuiet)
{
    if (!m_session.IsActive())
        return;
    // Waits the moment the capture needs to hand on its last part and finish the file. What it
    // has to say is told once the window shows the end.
    const RecordingOutcome outcome = m_session.Finish(Handle(), true);
    AudioItem* pRow = RecordingRow();
    m_recordingPath.clear();
    if (!m_bClosing)
        SetRecordState(RECORD_STATE_IDLE);
    if (!outcome.bKept)
    {
        // No file: the row would point at nothing.
        if (pRow)
            m_lstAudio->DeleteAudio(pRow->nIndex);
        m_wndWaveform->ShowItem(m_lstAudio->GetCurAudio());
        if (!bQuiet)
            TellWhenShown(outcome);
        return;
    }
    if (pRow && outcome.path.size() >= sizeof(AudioItem::szPath))
    {
        // Moved where a row cannot name it: a row with the old path would point at another file.
        // The message says where the recording is.
        m_lstAudio->DeleteAudio(pRow->nIndex);
        m_wndWaveform->ShowItem(m_lstAudio->GetCurAudio());
        pRow = nullptr;
    }
    if (pRow)
    {
        // Where the file really is, and what it holds.
        if (outcome.path != pRow->szPath)
        {
            pRow->SetPath(outcome.path.c_str());
            pRow->DeriveName();
            pRow->nState = AUDIO_STATE_NEWNAME;
            m_lstAudio->UpdateAudioText(pRow);
        }
        pRow->nLength = outcome.nMilliseconds;
        pRow->nSize = static_cast<uint32_t>(std::min<uint64_t>(outcome.nSize, UINT32_MAX));
        pRow->nState = AUDIO_STATE_RECORDED;
        m_lstAudio->UpdateAudioText(pRow);
        m_wndWaveform->CompleteRecording(*pRow);
    }
    if (bQuiet)
        return;
    TellWhenShown(outcome);
    if (theSettings.IsOpenOutput)
        OnGoToFolder();
}

void CMainDlg::TellWhenShown(const RecordingOutcome& outcome)
{
    if (outcome.message.empty())
        return;
    // The window shows the end first (buttons, row, view): a modal box opened at once would hold
    // back that repaint until it is closed.
    CallAfter([this, outcome] { CRecordingSession::Tell(outcome, Handle()); });
}

void CMainDlg::OnWaveformStopped(CWindowMessageEvent& event)
{
    event.SetResult(0);
    AudioItem stopped;
    while (m_wndWaveform->TakeStoppedRecording(stopped))
    {
    }
    // A recording that ended by itself (a full disk, a lost device): the window ends it too.
    // One stopped by the user was completed already.
    if (m_bClosing || !m_session.HasEnded())
        return;
    CompleteRecording(false);
    SetRecordState(RECORD_STATE_IDLE);
}

void CMainDlg::FreeReceivers()
{
    m_session.FreeReceivers();
    FreeDevices();
}

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
}

void CMainDlg::OnCommand(wxCommandEvent& event)
{
    const int nId = event.GetId();
    if (!IsCommandEnabled(nId))
        return;
    wxCommandEvent button(wxEVT_BUTTON, nId);
    switch (nId)
    {
    case ID_CMD_RECORD:
        OnRecord(button);
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
                            static_cast<unsigned>(c.nId), c.pszText, c.nBitmap);
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
    // The window goes out of sight while every control takes its new colours.
    Iconize(true);
    LoadSkin(t);
    Iconize(false);
    Show();
    Raise();
}

void CMainDlg::OnClose(wxCloseEvent&)
{
    m_bClosing = true;
    // A recording running now ends whole: everything up to this moment is in its file.
    if (m_session.IsActive())
    {
        m_session.Stop();
        CompleteRecording(true);
        m_nRecordState = RECORD_STATE_IDLE;
    }
    FreeReceivers();
    Destroy();
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
