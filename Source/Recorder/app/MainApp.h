// The application object: one running instance, the configuration read at
// start and written at the end, the skin, and the main window created hidden.
//
// Threads: main thread, except the single-instance listener, which only
// queues the raise of the main window to the main thread.
#pragma once
#include <memory>
#include <string>
#include <wx/app.h>

class CSingleInstance;
class CMainDlg;

class CMainApp : public wxApp
{
public:
    CMainApp();
    ~CMainApp() override;

    bool OnInit() override;
    // A second start has handed over to the running instance: it ends at once, successfully.
    int OnRun() override;
    int OnExit() override;

    // Brings the main window back from anywhere: restored, shown and in front. token: the
    // desktop's activation token of the start that asked, "" when it had none.
    void RaiseMainWindow(const std::string& token = "");
    // SIGTERM, SIGHUP, SIGINT: closes the main window as its close button does, once open
    // dialogs and menus are cancelled. Main thread (wx defers the signal to the main loop).
    void CloseForSignal();

private:
    void CloseOnceNothingIsOpen();

    std::unique_ptr<CSingleInstance> m_pInstance;
    bool m_bMutexOwner = false;
    bool m_bClosingForSignal = false;
};

wxDECLARE_APP(CMainApp);
