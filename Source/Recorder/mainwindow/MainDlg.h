// The main window: the live waveform at the top, the command buttons below it,
// and the list of this session's recordings. It owns the capture worker, the
// receivers (through the recording starter), the view and the list, and runs
// the recording controller: Record makes the next numbered file of the output
// format, Stop ends it, and the view's stop message completes its row.
//
// Threads: main thread only. The capture thread reaches this window only
// through the view's posted WM_WAVEFORM_STOPPED.
#pragma once
#include "AudioItem.h"
#include "DeviceThread.h"
#include "HoverButton.h"
#include "LstctrlAudio.h"
#include "RecordingStart.h"
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

class CMainDlg : public wxDialog
{
public:
    static constexpr int WINDOW_WIDTH = 480;
    static constexpr int WINDOW_HEIGHT = 450;

    CMainDlg();
    ~CMainDlg() override;

    // Creates the window hidden, with its controls; it shows itself on the first tick of its timer.
    bool Create();

    // Recording controller.
    void OnRecord(wxCommandEvent& event);
    void OnStop(wxCommandEvent& event);
    // The next free output name of the output format in the output folder, reserved so that
    // no other recorder takes it. False, with the user told why, when no name can be made.
    bool MakeOutputName(std::string& name);
    bool StartMP3(AudioItem* pItem);
    bool StartOGG(AudioItem* pItem);
    bool StartWAV(AudioItem* pItem);
    bool StartWMA(AudioItem* pItem);
    void FreeReceivers();

    // Commands of the window.
    void OnSkins(wxCommandEvent& event);
    void OnGoToFolder();

    int RecordState() const { return m_nRecordState; }
    CWndWaveform* Waveform() { return m_wndWaveform; }
    CLstctrlAudio* AudioList() { return m_lstAudio; }
    CRecordingStarter& Starter() { return m_starter; }
    // The handle the program's message boxes take as their owner.
    HWND Handle() { return static_cast<wxWindow*>(this); }

    // Places every control for the current client size.
    void LayoutControls();

private:
    bool StartFormat(int nOutputFormat, AudioItem* pItem);
    void SetRecordState(int nState);
    void CenterInWorkArea();

    void OnTimer(wxTimerEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIconize(wxIconizeEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnWaveformStopped(CWindowMessageEvent& event);
    void OnAudioListSelChange(CWindowMessageEvent& event);
    void OnAudioListRClick(CWindowMessageEvent& event);
    void OnAudioListDblClk(CWindowMessageEvent& event);

    wxIcon m_hIcon;
    int m_nRecordState = RECORD_STATE_IDLE;
    CDeviceThread m_capture;
    CRecordingStarter m_starter;
    CHoverButton* m_btnRecord = nullptr;
    CHoverButton* m_btnStop = nullptr;
    CHoverButton* m_btnSettings = nullptr;
    CHoverButton* m_btnSkins = nullptr;
    CHoverButton* m_btnHelp = nullptr;
    CHoverButton* m_btnAbout = nullptr;
    wxStaticBox* m_grpAudio = nullptr;
    CLstctrlAudio* m_lstAudio = nullptr;
    CWndWaveform* m_wndWaveform = nullptr;
    wxTimer m_showTimer;

    wxDECLARE_EVENT_TABLE();
};
