#include "WindowTestSupport.h"

#include "TestSupport.h"
#include "XDisplay.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <X11/Xlib.h>
#include <unistd.h>

namespace
{
CXDisplay* g_pDisplay = nullptr;
constexpr int WM_TEST_MARKER = WM_USER + 4000;
}  // namespace

bool PumpUntil(const std::function<bool()>& condition, int nTimeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    wxEventLoopBase* pLoop = wxEventLoopBase::GetActive();
    for (;;)
    {
        pLoop->DispatchTimeout(10);
        wxTheApp->ProcessPendingEvents();
        pLoop->ProcessIdle();
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
    }
}

bool ScreenshotUntil(const std::string& name, const std::function<bool(const wxImage&)>& condition, wxImage& image)
{
    const std::string folder = std::string(VORANE_TEST_BINARY_DIR) + "/mainwindow/output";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name;
    return PumpUntil([&] {
        image = g_pDisplay->Screenshot(path) ? wxImage(path, wxBITMAP_TYPE_PNG) : wxImage();
        return image.IsOk() && condition(image);
    });
}

void AbandonWindowTests()
{
    delete g_pDisplay;
    std::fflush(nullptr);
    _exit(1);
}

wxColour PixelAt(const wxImage& image, const wxPoint& p)
{
    if (p.x < 0 || p.y < 0 || p.x >= image.GetWidth() || p.y >= image.GetHeight())
        return wxColour();
    return wxColour(image.GetRed(p.x, p.y), image.GetGreen(p.x, p.y), image.GetBlue(p.x, p.y));
}

int CountColour(const wxImage& image, const wxRect& r, const wxColour& colour)
{
    int n = 0;
    for (int y = r.y; y < r.GetBottom() + 1; ++y)
        for (int x = r.x; x < r.GetRight() + 1; ++x)
            n += PixelAt(image, wxPoint(x, y)) == colour;
    return n;
}

CMessageFrame::CMessageFrame(const wxSize& clientSize)
    : wxFrame(nullptr, wxID_ANY, "Vorane window test", wxPoint(40, 40), wxDefaultSize)
{
    SetClientSize(clientSize);
    Bind(EVT_TYPE_WINDOW_MESSAGE, [this](CWindowMessageEvent& event) {
        ReceivedMessage m{event.Message(), event.WParam(), event.LParam(), wxPoint()};
        if (event.Message() == WM_AUDIOLIST_RCLICK && event.LParam())
            m.point = *reinterpret_cast<const wxPoint*>(event.LParam());
        received.push_back(m);
        event.SetResult(0);
    });
}

bool CMessageFrame::ShowWith(wxWindow* pChild)
{
    Show();
    return PumpUntil([&] { return pChild->IsShownOnScreen() && IsActive(); });
}

void CMessageFrame::DestroyNow()
{
    Destroy();
    PumpUntil([] { return true; });
}

int CMessageFrame::Count(int nMessage) const
{
    return std::count_if(received.begin(), received.end(), [&](const ReceivedMessage& m) { return m.nMessage == nMessage; });
}

const ReceivedMessage* CMessageFrame::Last(int nMessage) const
{
    auto it = std::find_if(received.rbegin(), received.rend(), [&](const ReceivedMessage& m) { return m.nMessage == nMessage; });
    return it == received.rend() ? nullptr : &*it;
}

bool CMessageFrame::Drain()
{
    const int nBefore = Count(WM_TEST_MARKER);
    PostWindowMessage(this, WM_TEST_MARKER, 0, 0);
    return PumpUntil([&] { return Count(WM_TEST_MARKER) > nBefore; });
}

// Starts the display and wx once for all tests of the program.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    g_pDisplay = new CXDisplay();
    // A connection held to the end stops the server resetting under GTK.
    Display* pHeld = nullptr;
    for (int i = 0; g_pDisplay->Ok() && i < 1000 && !(pHeld = XOpenDisplay(g_pDisplay->Name().c_str())); ++i)
        usleep(10000);
    setenv("GTK_THEME", "Adwaita", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    wxApp::SetInstance(new wxApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!pHeld || !wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "window tests need Xvfb and openbox (scripts/install-deps)\n");
        delete g_pDisplay;
        return 1;
    }
    wxInitAllImageHandlers();
    int nResult;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        nResult = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    XCloseDisplay(pHeld);
    // GTK's clean-up fails once the server is gone: leave at once.
    delete g_pDisplay;
    std::fflush(nullptr);
    _exit(nResult);
}
