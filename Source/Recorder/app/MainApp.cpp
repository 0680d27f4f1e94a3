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
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/thread.h>

wxIMPLEMENT_APP(CMainApp);

namespace
{
const char* const INSTANCE_NAME = "vorane-recorder";

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
    if (m_pInstance->Acquire([this] { CallAfter([this] { RaiseMainWindow(); }); }) != CSingleInstance::FIRST)
    {
        m_pInstance.reset();
        return true;
    }
    m_bMutexOwner = true;
    // A file-size limit (ulimit -f) must end a recording like a full disk, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);

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

void CMainApp::RaiseMainWindow()
{
    wxWindow* pTop = GetTopWindow();
    auto* pDlg = wxDynamicCast(pTop, wxTopLevelWindow);
    if (!pDlg)
        return;
    pDlg->Iconize(false);
    pDlg->Show();
    pDlg->Raise();
    PresentNativeWindow(pDlg->GetHandle());
}
