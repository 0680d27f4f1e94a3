#include "MainApp.h"

#include "AppPaths.h"
#include "Config.h"
#include "MainDlg.h"
#include "MessageBox.h"
#include "SingleInstance.h"
#include "Skins.h"
#include "WindowClass.h"
#include "WindowSystem.h"
#ifdef VORANE_HAVE_PULSE
#include "PulseBackend.h"
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/thread.h>

wxIMPLEMENT_APP_NO_MAIN(CMainApp);

namespace
{
const char* const INSTANCE_NAME = "vorane-recorder";

// The desktop's token for this start (xdg-activation on Wayland, a startup id on X11): a running
// instance needs it to take the focus. Read before GTK starts, which consumes DESKTOP_STARTUP_ID.
std::string g_startupToken;

int ShowMessageBox(const MessageBoxRequest& request)
{
    long nStyle = wxOK | wxCENTRE;
    if ((request.type & 0xF0u) == MB_ICONHAND)
        nStyle |= wxICON_ERROR;
    else if ((request.type & 0xF0u) == MB_ICONEXCLAMATION)
        nStyle |= wxICON_WARNING;
    else if ((request.type & 0xF0u) == MB_ICONINFORMATION)
        nStyle |= wxICON_INFORMATION;
    // The generic box draws its icon; GTK's own has shown none since GTK 3.12.
    wxGenericMessageDialog dialog(static_cast<wxWindow*>(request.hOwner), wxString::FromUTF8(request.text),
                                  wxString::FromUTF8(request.caption), nStyle);
    dialog.ShowModal();
    return IDOK;
}
}  // namespace

CMainApp::CMainApp() = default;
CMainApp::~CMainApp() = default;

bool CMainApp::OnInit()
{
    // One instance: a second start raises the first window and ends, touching nothing else.
    m_pInstance = std::make_unique<CSingleInstance>(INSTANCE_NAME);
    auto raise = [this](const std::string& token) { CallAfter([this, token] { RaiseMainWindow(token); }); };
    if (m_pInstance->Acquire(raise, g_startupToken) != CSingleInstance::FIRST)
    {
        m_pInstance.reset();
        return true;
    }
    m_bMutexOwner = true;
    // A file-size limit (ulimit -f) must end a recording like a full disk, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // The end of the desktop session (SIGTERM, SIGHUP) and Ctrl+C close the window as its close
    // button does, from the main loop.
    HandleEndSignals([](void* pApp) { static_cast<CMainApp*>(pApp)->CloseForSignal(); }, this);

    // The engine's messages: a box on the main thread; from a worker thread, queued to it.
    SetMessageBoxHandler([](const MessageBoxRequest& request) {
        if (wxThread::IsMain())
            return ShowMessageBox(request);
        MessageBoxRequest copy = request;
        copy.hOwner = nullptr;
        wxTheApp->CallAfter([copy] {
            MessageBoxRequest shown = copy;
            shown.hOwner = wxTheApp->GetTopWindow();
            ShowMessageBox(shown);
        });
        return IDOK;
    });

    GetAppDir();
    std::string strProblem;
    if (LoadConfig("Config.xml", &strProblem) < 0)
        MessageBoxA(nullptr, strProblem.c_str(), APP_CAPTION, MB_ICONHAND);
    // Unguarded is better than refused: whoever spoilt the folder must not keep us from starting.
    if (!m_pInstance->Problem().empty())
    {
        const std::string text = "Vorane Audio Recorder cannot make sure that it runs only once:\n" + m_pInstance->Problem() +
                                 ".\n\nIt starts all the same, but a later start may open a second window.";
        MessageBoxA(nullptr, text.c_str(), APP_CAPTION, MB_ICONEXCLAMATION);
    }

    UseWindowClass();
    LoadSkin(g_nSkinNumber);

#ifdef VORANE_HAVE_PULSE
    // The desktop's sound server comes first, so "Stereo Mix" records what the computer plays.
    UseSoundServer();
#endif

    auto* pDlg = new CMainDlg;
    if (!pDlg->Create())
    {
        delete pDlg;
        return false;
    }
    SetTopWindow(pDlg);
    return true;
}

int CMainApp::OnRun()
{
    return m_bMutexOwner ? wxApp::OnRun() : 0;
}

int CMainApp::OnExit()
{
    if (m_bMutexOwner)
    {
        // The window is gone, but settings that were not kept must not go unsaid.
        std::string strProblem;
        if (!SaveConfig("Config.xml", &strProblem))
            MessageBoxA(nullptr, strProblem.c_str(), APP_CAPTION, MB_ICONHAND);
        ReleaseSkin();
    }
    StopWindowClass();
    SetMessageBoxHandler(nullptr);
    m_pInstance.reset();
    return wxApp::OnExit();
}

void CMainApp::CloseForSignal()
{
    // A later signal finds the close under way; the recording is finished once, whole.
    if (m_bClosingForSignal || !m_bMutexOwner)
        return;
    m_bClosingForSignal = true;
    CloseOnceNothingIsOpen();
}

void CMainApp::CloseOnceNothingIsOpen()
{
    // A dialog, message box or menu over the main window runs a loop of its own: each is
    // cancelled as Escape would, and the window closes once control is back in the main loop.
    bool bWaiting = false;
    for (wxWindow* pWindow : wxTopLevelWindows)
        if (auto* pDialog = wxDynamicCast(pWindow, wxDialog); pDialog && pDialog->IsModal())
        {
            pDialog->EndModal(wxID_CANCEL);
            bWaiting = true;
        }
    wxEventLoopBase* pActive = wxEventLoopBase::GetActive();
    if (!bWaiting && pActive && GetMainLoop() && pActive != GetMainLoop())
    {
        pActive->Exit();
        bWaiting = true;
    }
    wxWindow* pTop = GetTopWindow();
    if (bWaiting || !pTop)
    {
        CallAfter(&CMainApp::CloseOnceNothingIsOpen);
        return;
    }
    pTop->Close(true);
    // The window is deleted when wx next goes idle, and a signal is no event that makes it go idle
    // (under Wayland, with no input, nothing else would).
    wxWakeUpIdle();
}

void CMainApp::RaiseMainWindow(const std::string& token)
{
    wxWindow* pTop = GetTopWindow();
    auto* pDlg = wxDynamicCast(pTop, wxTopLevelWindow);
    if (!pDlg)
        return;
    pDlg->Iconize(false);
    pDlg->Show();
    pDlg->Raise();
    PresentNativeWindow(pDlg->GetHandle(), token.c_str());
}

int main(int argc, char** argv)
{
    // Answered before GTK starts, so that they need no display.
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--version") == 0)
        {
            std::printf("vorane-recorder (%s) %s\n", APP_CAPTION, VORANE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
        {
            std::printf("Usage: vorane-recorder [--version] [--help] [GTK options]\n"
                        "Records sound from a capture device with a window. A second start brings the\n"
                        "running window to the front. vorane-record records without a window.\n");
            return 0;
        }
    }
    // The xdg-activation convention: the token is read once and not passed on to programs we start.
    if (const char* pszToken = std::getenv("XDG_ACTIVATION_TOKEN"); pszToken && *pszToken)
    {
        g_startupToken = pszToken;
        // GTK 3 knows the token only under its X11 name, and activates its first window with it.
        setenv("DESKTOP_STARTUP_ID", pszToken, 0);
        unsetenv("XDG_ACTIVATION_TOKEN");
    }
    else if (const char* pszId = std::getenv("DESKTOP_STARTUP_ID"); pszId && *pszId)
    {
        g_startupToken = pszId;
    }
    SetApplicationId(PROGRAM_WINDOW_CLASS);
    return wxEntry(argc, argv);
}
