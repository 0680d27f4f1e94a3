// The application object: one running instance, the configuration read at
// start and written at the end, the skin, and the main window created hidden.
//
// Threads: main thread, except the single-instance listener, which only
// queues the raise of the main window to the main thread.
#pragma once
#include <memory>
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

    // Brings the main window back from anywhere: restored, shown and in front.
    void RaiseMainWindow();

private:
    std::unique_ptr<CSingleInstance> m_pInstance;
    bool m_bMutexOwner = false;
};

wxDECLARE_APP(CMainApp);
