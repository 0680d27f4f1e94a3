// The main window itself: its controls and their places, its event table, showing,
// restoring and closing. Its commands: MainDlgCommands.cpp; its recordings:
// MainDlgRecording.cpp.
#include "MainDlg.h"

#include "AppIcon.h"
#include "WindowClass.h"

#include <wx/dcclient.h>
#include <wx/accel.h>
#include <wx/display.h>
#include <wx/settings.h>
#include <wx/sizer.h>

wxBEGIN_EVENT_TABLE(CMainDlg, wxDialog)
    EVT_BUTTON(IDC_BUTTON_RECORD, CMainDlg::OnRecord)
    EVT_BUTTON(IDC_BUTTON_STOP, CMainDlg::OnStop)
    EVT_BUTTON(IDC_BUTTON_SKINS, CMainDlg::OnSkins)
    EVT_BUTTON(IDC_BUTTON_SETTINGS, CMainDlg::OnButton)
    EVT_BUTTON(IDC_BUTTON_HELP, CMainDlg::OnButton)
    EVT_BUTTON(IDC_BUTTON_ABOUT, CMainDlg::OnButton)
    EVT_MENU_RANGE(ID_CMD_RECORD, ID_CMD_RENAME, CMainDlg::OnCommand)
    EVT_UPDATE_UI_RANGE(ID_CMD_RECORD, ID_CMD_RENAME, CMainDlg::OnUpdateCommand)
    EVT_UPDATE_UI(IDC_BUTTON_RECORD, CMainDlg::OnUpdateRecordButton)
    EVT_TIMER(IDT_SHOW, CMainDlg::OnTimer)
    EVT_CLOSE(CMainDlg::OnClose)
    EVT_ICONIZE(CMainDlg::OnIconize)
    EVT_SIZE(CMainDlg::OnSize)
    EVT_CHAR_HOOK(CMainDlg::OnCharHook)
    EVT_PAINT(CMainDlg::OnPaint)
    EVT_WINDOW_MESSAGE(WM_WAVEFORM_STOPPED, CMainDlg::OnWaveformStopped)
    EVT_WINDOW_MESSAGE(WM_WAVEFORM_SPLIT, CMainDlg::OnWaveformSplit)
    EVT_WINDOW_MESSAGE(WM_AUDIOLIST_SELCHANGE, CMainDlg::OnAudioListSelChange)
    EVT_WINDOW_MESSAGE(WM_AUDIOLIST_RCLICK, CMainDlg::OnAudioListRClick)
    EVT_WINDOW_MESSAGE(WM_AUDIOLIST_DBLCLK, CMainDlg::OnAudioListDblClk)
wxEND_EVENT_TABLE()

namespace
{
const char* const MAIN_CAPTION = "Vorane Audio Recorder";

// The window was drawn for GTK's own default font, Sans 10 points: a 474 by 420 client area.
// Its lengths are those pixels grown or shrunk with the window's average letter, as dialog
// units are, so a larger desktop font gives a larger window rather than cut labels.
class CFontUnits
{
public:
    explicit CFontUnits(const wxWindow* pWindow)
    {
        const wxString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        const wxFont designed(wxFontInfo(10).FaceName("Sans"));
        int nWidth = 0, nHeight = 0, nDesignedWidth = 0, nDesignedHeight = 0;
        pWindow->GetTextExtent(letters, &nWidth, &nHeight);
        pWindow->GetTextExtent(letters, &nDesignedWidth, &nDesignedHeight, nullptr, nullptr, &designed);
        if (nWidth > 0 && nHeight > 0 && nDesignedWidth > 0 && nDesignedHeight > 0)
        {
            m_dX = double(nWidth) / nDesignedWidth;
            m_dY = double(nHeight) / nDesignedHeight;
        }
    }
    int X(int nPixels) const { return wxRound(nPixels * m_dX); }
    int Y(int nPixels) const { return wxRound(nPixels * m_dY); }
    wxSize Size(int nWidth, int nHeight) const { return wxSize(X(nWidth), Y(nHeight)); }

private:
    double m_dX = 1.0;
    double m_dY = 1.0;
};

constexpr int CLIENT_WIDTH = 474;
constexpr int CLIENT_HEIGHT = 420;
// The hover button draws a one-pixel raised edge; its label keeps a pixel of air inside it.
constexpr int BUTTON_PADDING = 2;

// What the hover button needs to show its whole label.
wxSize LabelSize(CHoverButton* pButton)
{
    const wxSize text = pButton->GetTextExtent(wxControl::RemoveMnemonics(pButton->GetLabel()));
    return text + 2 * pButton->FromDIP(wxSize(BUTTON_PADDING, BUTTON_PADDING));
}
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
    // The commands' states are asked for when a popup menu opens and checked again when they
    // run; wx's idle pass, which would ask every control after every repaint, has nothing to do.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    // No window here handles idle events: wx need not offer one to every control after each event.
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    // Enter and Escape never close the main window.
    SetEscapeId(wxID_NONE);
    SetAffirmativeId(wxID_NONE);

    m_hIcon = MakeAppIcon(32);
    SetIcons(MakeAppIcons(GetContentScaleFactor()));
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
    m_lstAudio->SetLiveClipCount([this] { return m_wndWaveform->GetRecordedItem().nClipped; });
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
    accelerators.emplace_back(wxACCEL_CTRL, WXK_SPACE, ID_CMD_PAUSE);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(accelerators.size()), accelerators.data()));

    CreateLayout();
    CenterInWorkArea();
    // The view publishes itself to the capture engine as it is created; say so once more, as
    // the window that owns the recordings.
    SetWaveformView(m_wndWaveform);
    // The devices are listed and the encoders loaded now, not when the user presses Record.
    m_session.PrepareAhead();
    m_showTimer.StartOnce(5);
    return true;
}

void CMainDlg::CreateLayout()
{
    const CFontUnits u(this);
    auto* pWindow = new wxBoxSizer(wxVERTICAL);
    pWindow->AddSpacer(u.Y(10));
    m_wndWaveform->SetMinSize(u.Size(100, 100));
    pWindow->Add(m_wndWaveform, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT, u.X(5)));
    pWindow->AddSpacer(u.Y(10));

    // Six buttons, each a seventh of the width less the margins and gaps, Settings and About a
    // gap wider; each at least as large as its label.
    auto* pButtons = new wxBoxSizer(wxHORIZONTAL);
    const int nWidth = (CLIENT_WIDTH - 55) / 7;
    const std::pair<CHoverButton*, int> buttons[] = {{m_btnRecord, nWidth}, {m_btnStop, nWidth},
                                                     {m_btnSettings, nWidth + 5}, {m_btnSkins, nWidth},
                                                     {m_btnHelp, nWidth},    {m_btnAbout, nWidth + 5}};
    for (const auto& [pButton, nButtonWidth] : buttons)
    {
        if (pButton != m_btnRecord)
            pButtons->AddSpacer(u.X(5));
        wxSize size = u.Size(nButtonWidth, 25);
        size.IncTo(LabelSize(pButton));
        pButton->SetMinSize(size);
        pButtons->Add(pButton);
    }
    pWindow->Add(pButtons, wxSizerFlags().Border(wxLEFT | wxRIGHT, u.X(5)));
    pWindow->AddSpacer(u.Y(10));

    // The list fills the group below its caption; it takes what height the window has left.
    auto* pGroup = new wxStaticBoxSizer(m_grpAudio, wxVERTICAL);
    m_lstAudio->SetMinSize(u.Size(100, 60));
    pGroup->Add(m_lstAudio, wxSizerFlags(1).Expand().Border(wxLEFT | wxRIGHT | wxBOTTOM, u.X(5)));
    pWindow->Add(pGroup, wxSizerFlags(1).Expand().Border(wxLEFT, u.X(1)));
    SetSizer(pWindow);
    m_designedClient = u.Size(CLIENT_WIDTH, CLIENT_HEIGHT);
    FitToWorkArea();
}

void CMainDlg::FitToWorkArea()
{
    // Fixed for the user, at the size drawn for the font, or more where a label needs it; the list
    // gives up height first when the work area is too low.
    const wxSize frame = GetSize() - GetClientSize();
    wxSize client = m_designedClient;
    client.DecTo(WorkArea().GetSize() - frame);
    client.IncTo(GetSizer()->GetMinSize());
    SetSizeHints(wxDefaultSize, wxDefaultSize);
    SetClientSize(client);
    SetSizeHints(GetSize(), GetSize());
    LayoutControls();
}

void CMainDlg::OnSize(wxSizeEvent& event)
{
    event.Skip();
    // The window manager's frame is known once it has framed the window: a window that the frame
    // makes taller than the work area fits again with a shorter list.
    if (GetSizer() && IsShown() && !IsIconized() && GetSize().y > WorkArea().height &&
        GetClientSize().y > GetSizer()->GetMinSize().y)
        CallAfter([this] {
            FitToWorkArea();
            CenterInWorkArea();
        });
}

wxRect CMainDlg::WorkArea() const
{
    const int nDisplay = wxDisplay::GetFromWindow(this);
    return wxDisplay(nDisplay == wxNOT_FOUND ? 0u : static_cast<unsigned>(nDisplay)).GetClientArea();
}

void CMainDlg::CenterInWorkArea()
{
    const wxRect work = WorkArea();
    const wxSize size = GetSize();
    Move(work.x + work.width / 2 - size.x / 2, work.y + work.height / 2 - size.y / 2);
}

void CMainDlg::LayoutControls()
{
    if (!GetSizer())
        return;
    Layout();
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
    m_bPaused = false;
    const bool bIdle = nState == RECORD_STATE_IDLE;
    // Record turns into Pause while recording: its caption and state come from its update handler.
    m_btnRecord->UpdateWindowUI();
    m_btnStop->Enable(!bIdle);
    m_btnSettings->Enable(bIdle);
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
