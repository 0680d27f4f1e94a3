#include "DialogTestSupport.h"

#include <wx/timer.h>
#include <wx/toplevel.h>

#include <atomic>
#include <cstdlib>
#include <thread>

int RunModal(wxDialog& dialog, const std::function<void()>& user)
{
    wxTimer safety;
    safety.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (auto it = wxTopLevelWindows.rbegin(); it != wxTopLevelWindows.rend(); ++it)
            if (auto* pDialog = wxDynamicCast(*it, wxDialog); pDialog && pDialog->IsModal())
                pDialog->EndModal(wxID_ABORT);
    });
    safety.StartOnce(90000);
    std::atomic<bool> bUserDone{false};
    std::thread driver([&] {
        user();
        bUserDone = true;
    });
    const int nResult = dialog.ShowModal();
    WaitUntil([&] { return bUserDone.load(); }, 120000);
    driver.join();
    EXPECT_TRUE(safety.IsRunning()) << "the dialog had to be closed by the safety timer";
    safety.Stop();
    return nResult;
}

bool WaitOnMain(const std::function<bool()>& condition, int nTimeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!OnMain([&] { return condition(); }))
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

wxDialog* ActiveDialog()
{
    for (auto it = wxTopLevelWindows.rbegin(); it != wxTopLevelWindows.rend(); ++it)
        if (auto* pDialog = wxDynamicCast(*it, wxDialog); pDialog && pDialog->IsShown() && pDialog->IsActive())
            return pDialog;
    return nullptr;
}

wxRect ScreenRect(wxWindow* pWindow) { return wxRect(pWindow->GetScreenPosition(), pWindow->GetSize()); }
int DarkPixels(const wxRect& screen) { return CountPixels(screen, [](const wxColour& c) { return Luma(c) < 100; }); }

bool WaitUntilActiveAndPainted(wxWindow* pDialog, wxWindow* pPainted)
{
    if (!WaitOnMain([&] { return pDialog->IsShown() && static_cast<wxTopLevelWindow*>(pDialog)->IsActive(); }))
        return false;
    const wxRect rect = OnMain([&] { return ScreenRect(pPainted); });
    for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (DarkPixels(rect) >= 20)
            return true;
    return false;
}

std::string WaitForMessageBox()
{
    CDlgMsgbx* pBox = nullptr;
    if (!WaitOnMain([&] { return (pBox = dynamic_cast<CDlgMsgbx*>(ActiveDialog())) != nullptr; }))
        return {};
    wxWindow* pText = OnMain([&] { return pBox->FindWindow(IDC_MSGBX_TEXT); });
    if (!pText || !WaitUntilActiveAndPainted(pBox, pText))
        return {};
    return OnMain([&] { return pBox->GetText().utf8_string(); });
}

bool PressKeys(const std::string& keys) { return Xdo("key --clearmodifiers " + keys); }
bool WaitUntilActive(wxWindow* pDialog) { return WaitOnMain([&] { return ActiveDialog() == pDialog; }); }

wxFrame* ShowOwnerFrame(const wxSize& size)
{
    setenv("PULSE_SERVER", "unix:/nonexistent/vorane/native", 1);
    MoveMouse(wxPoint(2, 2));
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "Owner", wxPoint(40, 40), size);
    pFrame->Show();
    return WaitUntil([&] { return pFrame->IsActive(); }) ? pFrame : nullptr;
}
