// The main window: the live waveform at the top, the command buttons below it,
// and the list of this session's recordings. It owns the recording session
// (capture worker and receivers), the view and the list, and runs the recording
// controller: Record starts the next numbered file of the output format, Stop
// ends it and completes its row; a recording that ends by itself (a full disk,
// a lost device) is completed when the view's stop message arrives.
//
// Threads: main thread only. The capture thread reaches this window only
// through the view's posted WM_WAVEFORM_STOPPED.
#pragma once
#include "AudioItem.h"
#include "DeviceThread.h"
#include "HoverButton.h"
#include "LstctrlAudio.h"
#include "RecordingSession.h"
#include "WindowMessages.h"
#include "WndWaveform.h"

#include <string>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/timer.h>

enum
{
    RECORD_STATE_IDLE = 0,
    RECORD_STATE_RECORDING = 1,
};

// Control and command ids of the main window.
enum
{
    IDC_LIST_AUDIO = 1001,
    IDC_GROUP_AUDIO = 1002,
    IDC_BUTTON_RECORD = 1010,
    IDC_BUTTON_SETTINGS = 1011,
    IDC_BUTTON_HELP = 1014,
    IDC_BUTTON_ABOUT = 1015,
    IDC_BUTTON_SKINS = 1016,
    IDC_BUTTON_STOP = 1017,
    IDC_WAVEFORM = 1025,
    IDT_SHOW = 100,
};

// Commands of the popup menu and the keys.
enum
{
    ID_CMD_RECORD = 32776,
    ID_CMD_PLAY = 32777,
    ID_CMD_STOP = 32778,
    ID_CMD_SETTINGS = 32780,
    ID_CMD_GOTOFOLDER = 32781,
    ID_CMD_DELETEFROMLIST = 32784,
    ID_CMD_DELETEFROMDISK = 32785,
    ID_CMD_CLEARALL = 32786,
    ID_CMD_HELP = 32787,
    ID_CMD_WEBSITE = 32788,
    ID_CMD_PAUSE = 32789,
    ID_CMD_ABOUT = 32790,
    ID_CMD_EXIT = 32791,
    ID_CMD_RENAME = 32792,
};

// The maker's web site, opened by the Web site command.
extern const char* const VORANE_WEB_SITE;
// The help page next to the program.
extern const char* const HELP_FILE_NAME;

class CMainDlg : public wxDialog
{
public:
    CMainDlg();
    ~CMainDlg() override;

    // Creates the window hidden, with its controls; it shows itself on the first tick of its timer.
    bool Create();

    // Recording controller.
    void OnRecord(wxCommandEvent& event);
    void OnStop(wxCommandEvent& event);
    void FreeReceivers();

    // Commands of the window. Each checks its own rule first: keys reach disabled commands.
    void OnSkins(wxCommandEvent& event);
    void OnSettings();
    void OnPlay();
    void OnGoToFolder();
    void OnRename();
    void OnDeleteFromList();
    void OnDeleteFromDisk();
    void OnClearAll();
    void OnHelp();
    void OnWebSite();
    void OnAbout();
    // Pauses the running recording, or resumes it.
    void OnPause();

    // The enabling rules, asked by the update handlers, the popup menu and the commands.
    bool IsIdle() const { return m_nRecordState == RECORD_STATE_IDLE; }
    bool IsRecording() const { return m_nRecordState == RECORD_STATE_RECORDING; }
    bool IsPaused() const { return IsRecording() && m_bPaused; }
    bool HasCurrentRow();
    bool CurrentFileExists();
    // The current row's file exists and is not being recorded: it may be renamed or deleted.
    bool CurrentFileIsFinished();
    bool CanPlay() { return CurrentFileExists() && IsIdle(); }
    bool HasRows();
    bool Always() { return true; }
    // True when the command's rule allows it now.
    bool IsCommandEnabled(int nId);
    // Shows the popup menu of the list's commands at the screen point.
    void ShowPopupMenu(const wxPoint& point);

    int RecordState() const { return m_nRecordState; }
    CWndWaveform* Waveform() { return m_wndWaveform; }
    CLstctrlAudio* AudioList() { return m_lstAudio; }
    CRecordingSession& Session() { return m_session; }
    // The handle the program's message boxes take as their owner.
    HWND Handle() { return static_cast<wxWindow*>(this); }

    // Places every control in the window's sizers.
    void LayoutControls();

private:
    // Ends the running recording's session and completes its row (or removes it, when no
    // file was kept). Quiet when the window closes.
    void CompleteRecording(bool bQuiet);
    AudioItem* RecordingRow();
    void TellWhenShown(const RecordingOutcome& outcome);
    void SetRecordState(int nState);
    // Builds the window's sizers for its font and gives the window the fixed size they need.
    void CreateLayout();
    void FitToWorkArea();
    wxRect WorkArea() const;
    void CenterInWorkArea();

    void OnCommand(wxCommandEvent& event);
    void OnButton(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    void OnUpdateRecordButton(wxUpdateUIEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIconize(wxIconizeEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnWaveformStopped(CWindowMessageEvent& event);
    void OnWaveformSplit(CWindowMessageEvent& event);
    // A new row for the recording going on into path, with the running recording's format.
    AudioItem* NewRecordingRow(const std::string& path);
    void CompleteSplitFiles();
    void OnAudioListSelChange(CWindowMessageEvent& event);
    void OnAudioListRClick(CWindowMessageEvent& event);
    void OnAudioListDblClk(CWindowMessageEvent& event);

    wxIcon m_hIcon;
    int m_nRecordState = RECORD_STATE_IDLE;
    CRecordingSession m_session;
    std::string m_recordingPath;  // the running recording's row, by its path
    CHoverButton* m_btnRecord = nullptr;
    CHoverButton* m_btnStop = nullptr;
    CHoverButton* m_btnSettings = nullptr;
    CHoverButton* m_btnSkins = nullptr;
    CHoverButton* m_btnHelp = nullptr;
    CHoverButton* m_btnAbout = nullptr;
    wxStaticBox* m_grpAudio = nullptr;
    CLstctrlAudio* m_lstAudio = nullptr;
    CWndWaveform* m_wndWaveform = nullptr;
    wxSize m_designedClient;  // the client area drawn for the window's font
    wxTimer m_showTimer;
    bool m_bPopupPending = false;
    bool m_bClosing = false;
    bool m_bPaused = false;  // the running recording is paused
    wxPoint m_popupPoint;

    wxDECLARE_EVENT_TABLE();
};
