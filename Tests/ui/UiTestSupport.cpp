#include "UiTestSupport.h"

#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "TestSupport.h"
#include "WindowClass.h"

#include <wx/app.h>
#include <wx/eventfilter.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

namespace
{
CXDisplay* g_pDisplay = nullptr;

struct CTestApp : wxApp
{
    bool OnInit() override
    {
        // The program's windows carry its class, as the program gives it them.
        UseWindowClass();
        return true;
    }
};

thread_local Display* t_pConnection = nullptr;

Display* PixelConnection() { return t_pConnection ? t_pConnection : (t_pConnection = XOpenDisplay(UiDisplay().Name().c_str())); }

bool VisitPixels(const wxRect& screen, const std::function<void(const wxColour&)>& visit)
{
    Display* pDisplay = PixelConnection();
    XImage* pImage = pDisplay && !screen.IsEmpty()
                         ? XGetImage(pDisplay, DefaultRootWindow(pDisplay), screen.x, screen.y, unsigned(screen.width),
                                     unsigned(screen.height), AllPlanes, ZPixmap)
                         : nullptr;
    if (!pImage)
        return false;
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
        {
            const unsigned long pixel = XGetPixel(pImage, x, y);
            visit(wxColour((pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff));
        }
    return XDestroyImage(pImage), true;
}
}  // namespace

CXDisplay& UiDisplay() { return *g_pDisplay; }

static bool Poll(const std::function<bool()>& condition, int nTimeoutMs, bool bRunEvents)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (true)
    {
        wxEventLoopBase* pLoop = bRunEvents ? wxEventLoopBase::GetActive() : nullptr;
        if (pLoop)
        {
            pLoop->DispatchTimeout(5);
            wxTheApp->ProcessPendingEvents();
            pLoop->ProcessIdle();
        }
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    }
}

bool WaitUntil(const std::function<bool()>& condition, int nTimeoutMs) { return Poll(condition, nTimeoutMs, true); }

bool SameColour(const wxColour& a, const wxColour& b, int nTolerance)
{
    return a.IsOk() && b.IsOk() && std::abs(a.Red() - b.Red()) <= nTolerance &&
           std::abs(a.Green() - b.Green()) <= nTolerance && std::abs(a.Blue() - b.Blue()) <= nTolerance;
}

bool PixelIs(const wxPoint& screen, const wxColour& colour, int nTolerance)
{
    return CountPixels(wxRect(screen, wxSize(1, 1)), [&](const wxColour& c) { return SameColour(c, colour, nTolerance); }) == 1;
}

int CountPixels(const wxRect& screen, const std::function<bool(const wxColour&)>& test)
{
    int nCount = 0;
    VisitPixels(screen, [&](const wxColour& c) { nCount += test(c) ? 1 : 0; });
    return nCount;
}

bool WaitForPixelFromThread(const wxPoint& screen, const wxColour& colour, int nTimeoutMs)
{
    return Poll([&] { return PixelIs(screen, colour); }, nTimeoutMs, false);
}

void DestroyAndWait(wxWindow* pWindow)
{
    pWindow->Destroy();
    WaitUntil([] { return wxTopLevelWindows.empty(); });
}

bool Xdo(const std::string& args) { return RunCommand("xdotool " + args + " 2>&1") == 0; }
bool MoveMouse(const wxPoint& p) { return Xdo("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y)); }
bool ClickAt(const wxPoint& p, const std::string& click)
{
    return Xdo("mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + click);
}

std::string ReadAccessibleTree(const std::string& waitFor, int nTimeoutSeconds)
{
    auto reading = std::async(std::launch::async, [&] {
        std::string output;
        const int nStatus = RunCommand(std::string("/usr/bin/python3 " ATSPI_TREE " --pid ") + std::to_string(getpid()) +
                                           " --timeout " + std::to_string(nTimeoutSeconds) + " --wait '" + waitFor + "'",
                                       &output);
        return nStatus == 0 ? output : std::string();
    });
    WaitUntil([&] { return reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              (nTimeoutSeconds + 30) * 1000);
    return reading.get();
}

std::string SaveScreenshot(const std::string& name)
{
    const std::string path = std::string(UI_TEST_OUTPUT_DIR) + "/" + name + ".png";
    return UiDisplay().Screenshot(path), path;
}

bool ScreenshotUntil(const std::string& name, const std::function<bool(const wxImage&)>& condition, wxImage& image)
{
    return WaitUntil([&] {
        image = wxImage(SaveScreenshot(name), wxBITMAP_TYPE_PNG);
        return image.IsOk() && condition(image);
    });
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
    for (int y = r.y; y <= r.GetBottom(); ++y)
        for (int x = r.x; x <= r.GetRight(); ++x)
            n += PixelAt(image, wxPoint(x, y)) == colour;
    return n;
}

int RunModal(const std::function<int()>& loop, const std::function<void()>& user)
{
    wxTimer safety;
    safety.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        bool bEnded = false;
        for (auto it = wxTopLevelWindows.rbegin(); it != wxTopLevelWindows.rend(); ++it)
            if (auto* pDialog = wxDynamicCast(*it, wxDialog); pDialog && pDialog->IsModal())
            {
                pDialog->EndModal(wxID_ABORT);
                bEnded = true;
            }
        // A popup menu's loop belongs to no dialog.
        if (!bEnded && wxEventLoopBase::GetActive())
            wxEventLoopBase::GetActive()->Exit();
    });
    safety.StartOnce(90000);
    std::atomic<bool> bUserDone{false};
    std::thread driver([&] {
        user();
        bUserDone = true;
    });
    const int nResult = loop();
    WaitUntil([&] { return bUserDone.load(); }, 120000);
    driver.join();
    EXPECT_TRUE(safety.IsRunning()) << "the modal loop had to be ended by the safety timer";
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

static wxDialog* ActiveDialog()
{
    for (auto it = wxTopLevelWindows.rbegin(); it != wxTopLevelWindows.rend(); ++it)
        if (auto* pDialog = wxDynamicCast(*it, wxDialog); pDialog && pDialog->IsShown() && pDialog->IsActive())
            return pDialog;
    return nullptr;
}

wxRect ScreenRect(wxWindow* pWindow) { return wxRect(pWindow->GetScreenPosition(), pWindow->GetSize()); }
wxRect ScreenRect(const wxWindow* pWindow, const wxRect& client) { return wxRect(pWindow->ClientToScreen(client.GetPosition()), client.GetSize()); }
static int DarkPixels(const wxRect& screen) { return CountPixels(screen, [](const wxColour& c) { return Luma(c) < 100; }); }

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

namespace
{
// Counts the presses of the marker key, whatever window has the focus. The marker is a key of the default
// keymap that nothing in the program uses: a key xdotool must map first can reach GTK before its mapping.
const char* const kMarkerKey = "XF86Launch9";
const uint32_t kMarkerKeyval = 0x1008FF49;

class CMarkerKeyFilter : public wxEventFilter
{
public:
    CMarkerKeyFilter() { wxEvtHandler::AddFilter(this); }
    int FilterEvent(wxEvent& event) override
    {
        if (event.GetEventType() == wxEVT_KEY_DOWN && static_cast<wxKeyEvent&>(event).GetRawKeyCode() == kMarkerKeyval)
            ++nSeen;
        return Event_Skip;
    }
    int nSeen = 0;
};
}  // namespace

bool PressKeysAndWait(const std::string& keys)
{
    static CMarkerKeyFilter* pFilter = new CMarkerKeyFilter;
    const int nBefore = pFilter->nSeen;
    return PressKeys(keys + " " + kMarkerKey) && WaitUntil([&] { return pFilter->nSeen > nBefore; });
}

std::vector<std::string> LayoutFaults(wxWindow* pWindow, const wxRect& area, bool bStrict)
{
    std::vector<wxWindow*> controls;
    std::function<void(wxWindow*)> collect = [&](wxWindow* pParent) {
        for (wxWindow* pChild : pParent->GetChildren())
            if (pChild->IsShown())
            {
                controls.push_back(pChild);
                collect(pChild);
            }
    };
    collect(pWindow);
    std::vector<std::string> faults;
    auto name = [](wxWindow* p) { return wxString::Format("%d \"%s\"", p->GetId(), p->GetLabel()).utf8_string(); };
    for (wxWindow* pControl : controls)
    {
        const wxRect rc = pControl->GetScreenRect();
        wxSize best = pControl->GetBestSize();
        // wx misjudges a text field's height at larger fonts; GTK knows what it needs.
        if (bStrict && dynamic_cast<wxTextCtrl*>(pControl))
            gtk_widget_get_preferred_height(pControl->GetHandle(), &best.y, nullptr);
        // The player's text ends in an ellipsis when a name is long; its two lines must fit.
        if (pControl->GetId() == IDC_PLAYER_INFO && wxDynamicCast(pControl, wxGenericStaticText))
            best.x = 0;
        if (!area.Contains(rc) || rc.width < best.x || rc.height < best.y)
            faults.push_back(name(pControl) + " needs " + std::to_string(best.x) + "x" + std::to_string(best.y));
    }
    for (size_t a = 0; bStrict && a < controls.size(); ++a)
        for (size_t b = a + 1; b < controls.size(); ++b)
            if (!wxDynamicCast(controls[a], wxStaticBox) && !wxDynamicCast(controls[b], wxStaticBox) &&
                controls[a]->GetScreenRect().Intersects(controls[b]->GetScreenRect()))
                faults.push_back(name(controls[a]) + " overlaps " + name(controls[b]));
    return faults;
}

std::vector<wxWindow*> AllChildren(wxWindow* pWindow)
{
    std::vector<wxWindow*> windows;
    for (wxWindow* pChild : pWindow->GetChildren())
    {
        windows.push_back(pChild);
        for (wxWindow* pGrandchild : AllChildren(pChild))
            windows.push_back(pGrandchild);
    }
    return windows;
}

namespace
{
// The control that holds the keyboard focus as GTK sees it: a list keeps it in a button of its own, which wx
// does not report as the list.
wxWindow* FocusedControl(wxWindow* pTop)
{
    GtkWidget* pFocus = gtk_window_get_focus(GTK_WINDOW(pTop->GetHandle()));
    std::function<wxWindow*(wxWindow*)> holder = [&](wxWindow* pWindow) -> wxWindow* {
        for (wxWindow* pChild : pWindow->GetChildren())
            if (wxWindow* pFound = holder(pChild))
                return pFound;
        auto* pWidget = static_cast<GtkWidget*>(pWindow->GetHandle());
        return pFocus && pWidget && (pFocus == pWidget || gtk_widget_is_ancestor(pFocus, pWidget)) ? pWindow : nullptr;
    };
    return holder(pTop);
}

std::string Describe(const wxWindow* pWindow)
{
    return pWindow ? wxString::Format("%s %d \"%s\"", pWindow->GetClassInfo()->GetClassName(), pWindow->GetId(),
                                      pWindow->GetLabel()).utf8_string()
                   : "nothing";
}

// The mnemonic's letter in lower case ("Al&bum title:" gives 'b'), 0 without one.
wxChar MnemonicOf(const wxString& label)
{
    wxString text;
    const int nAt = wxControl::FindAccelIndex(label, &text);
    return nAt == wxNOT_FOUND ? 0 : static_cast<wxChar>(wxTolower(text[static_cast<size_t>(nAt)]));
}

// The control a label names by where it stands: the nearest one to its right on its row, else one right under it.
wxWindow* ControlNamedBy(wxWindow* pLabel, const std::vector<wxWindow*>& controls)
{
    const wxRect label = pLabel->GetScreenRect();
    const wxPoint centre = label.GetPosition() + label.GetSize() / 2;
    wxWindow *pBeside = nullptr, *pUnder = nullptr;
    for (wxWindow* pControl : controls)
    {
        const wxRect rc = pControl->GetScreenRect();
        if (rc.x >= label.GetRight() && rc.y <= centre.y && centre.y <= rc.GetBottom() &&
            (!pBeside || rc.x < pBeside->GetScreenRect().x))
            pBeside = pControl;
        if (rc.y >= label.GetBottom() && rc.y <= label.GetBottom() + label.height && rc.x <= centre.x && centre.x <= rc.GetRight())
            pUnder = pControl;
    }
    return pBeside ? pBeside : pUnder;
}

std::vector<wxColour> Pixels(const wxRect& screen)
{
    std::vector<wxColour> pixels;
    CountPixels(screen, [&](const wxColour& c) { return pixels.push_back(c), false; });
    return pixels;
}
}  // namespace

std::vector<std::string> KeyboardFaults(wxWindow* pTop, wxWindow* pStart, std::vector<wxWindow*> windows, bool bFocusShows)
{
    std::vector<std::string> faults;
    pStart->SetFocus();
    // Judged once the window stands still on the screen, its focus drawn.
    int nSame = 0;
    std::vector<wxColour> last;
    if (!WaitUntil([&] {
            const std::vector<wxColour> now = Pixels(ScreenRect(pTop));
            nSame = now == last ? nSame + 1 : 0;
            last = now;
            return FocusedControl(pTop) == pStart && nSame >= 10;
        }))
        return {"cannot focus " + Describe(pStart) + ", or the window never stands still"};
    // What Tab must reach: every control that takes keys now, but of a group of mode buttons only the chosen one.
    std::vector<wxWindow*> controls, usable;
    for (wxWindow* pWindow : windows)
    {
        auto* pRadio = wxDynamicCast(pWindow, wxRadioButton);
        if (!pWindow->IsShownOnScreen() || !pWindow->AcceptsFocusFromKeyboard() || wxDynamicCast(pWindow, wxStaticBox))
            continue;
        controls.push_back(pWindow);
        if (pWindow->IsEnabled() && !(pRadio && !pRadio->GetValue()) && pWindow != pStart)
            usable.push_back(pWindow);
    }
    // Tab's stops until the focus is back at the start; going forward, each one must look different than before it.
    auto walk = [&](const std::string& key) {
        std::vector<wxWindow*> stops;
        for (wxWindow* pFocus = pStart; stops.size() < 40;)
        {
            std::vector<std::vector<wxColour>> looks;
            for (wxWindow* pControl : controls)
                looks.push_back(bFocusShows ? Pixels(ScreenRect(pControl)) : std::vector<wxColour>());
            if (!PressKeysAndWait(key))
                faults.push_back(key + " was not handled");
            pFocus = FocusedControl(pTop);
            const auto at = std::find(controls.begin(), controls.end(), pFocus);
            if (bFocusShows && key == "Tab" && at != controls.end() &&
                !WaitUntil([&] { return Pixels(ScreenRect(pFocus)) != looks[size_t(at - controls.begin())]; }, 5000))
                faults.push_back(Describe(pFocus) + " does not show its focus");
            if (pFocus == pStart || !pFocus)
                break;
            stops.push_back(pFocus);
        }
        return stops;
    };
    const std::vector<wxWindow*> forward = walk("Tab");
    std::vector<wxWindow*> backward = walk("shift+Tab");
    std::reverse(backward.begin(), backward.end());
    if (forward != backward)
        faults.push_back("Shift+Tab does not go back the way Tab came");
    for (wxWindow* pControl : usable)
        if (std::count(forward.begin(), forward.end(), pControl) != 1)
            faults.push_back("Tab stops " + std::to_string(std::count(forward.begin(), forward.end(), pControl)) + " times on " + Describe(pControl));
    wxWindow* pBefore = pStart;
    for (wxWindow* pStop : forward)
    {
        // Reading order: below the one before, or to its right (the next column).
        const wxRect a = pBefore->GetScreenRect(), b = pStop->GetScreenRect();
        if (!(b.y >= a.y + a.height - 2 || b.x >= a.x + a.width - 2))
            faults.push_back(Describe(pStop) + " after " + Describe(pBefore));
        pBefore = pStop;
    }

    // Each control's own text, or the label right before a field, carries a mnemonic; no two share a letter.
    std::map<wxChar, std::vector<std::string>> letters;
    std::vector<wxStaticText*> labels;
    for (wxWindow* pWindow : windows)
    {
        if (const wxChar letter = MnemonicOf(pWindow->GetLabel()))
            letters[letter].push_back(Describe(pWindow));
        auto* pLabel = wxDynamicCast(pWindow, wxStaticText);
        if (pLabel && !pLabel->AcceptsFocusFromKeyboard() && MnemonicOf(pLabel->GetLabel()))
            labels.push_back(pLabel);
    }
    for (const auto& [letter, owners] : letters)
        if (owners.size() > 1)
            faults.push_back("Alt+" + wxString(letter).utf8_string() + " is shared: " + testing::PrintToString(owners));
    std::vector<wxWindow*> stops = forward;
    stops.push_back(pStart);
    for (wxWindow* pStop : stops)
    {
        const bool bOwnText = (wxDynamicCast(pStop, wxButton) || wxDynamicCast(pStop, wxCheckBox) ||
                               wxDynamicCast(pStop, wxRadioButton) || wxDynamicCast(pStop, wxStaticText)) && !pStop->GetLabel().empty();
        const wxWindowList& siblings = pStop->GetParent()->GetChildren();
        auto it = std::find(siblings.begin(), siblings.end(), pStop);
        wxWindow* pNamer = bOwnText ? pStop : wxDynamicCast(it == siblings.begin() ? nullptr : *std::prev(it), wxStaticText);
        if (pNamer && !MnemonicOf(pNamer->GetLabel()))
            faults.push_back(Describe(pNamer) + " has no mnemonic");
    }
    // GTK gives a label's mnemonic to the next control in tab order: that must be the field it stands by.
    for (wxStaticText* pLabel : labels)
    {
        wxWindow* pField = ControlNamedBy(pLabel, controls);
        const wxWindowList& siblings = pLabel->GetParent()->GetChildren();
        auto it = std::next(std::find(siblings.begin(), siblings.end(), pLabel));
        if (Describe(pField) != Describe(it == siblings.end() ? nullptr : *it))
            faults.push_back(Describe(pLabel) + " is followed by another control than " + Describe(pField));
        if (!pField || !pField->IsEnabled())
            continue;  // a field of another mode
        PressKeysAndWait("alt+" + wxString(MnemonicOf(pLabel->GetLabel())).utf8_string());
        if (FocusedControl(pTop) != pField)
            faults.push_back("Alt+ the mnemonic of " + Describe(pLabel) + " focuses " + Describe(FocusedControl(pTop)));
    }
    return faults;
}

std::vector<std::pair<wxString, wxDataViewItem>> TreeOutline(wxDataViewTreeCtrl* pTree, wxDataViewItem parent, const wxString& indent)
{
    std::vector<std::pair<wxString, wxDataViewItem>> items;
    for (int i = 0; i < pTree->GetChildCount(parent); ++i)
    {
        const wxDataViewItem item = pTree->GetNthChild(parent, static_cast<unsigned>(i));
        items.emplace_back(indent + pTree->GetItemText(item), item);
        for (const auto& child : TreeOutline(pTree, item, indent + "  "))
            items.push_back(child);
    }
    return items;
}

void SendUserEvent(wxWindow* pControl, wxEventType type, int n)
{
    wxCommandEvent event(type, pControl->GetId());
    event.SetInt(n);
    if (auto* pList = dynamic_cast<wxChoice*>(pControl))
        event.SetString(pList->GetString(n));
    event.SetEventObject(pControl);
    pControl->ProcessWindowEvent(event);
}

bool Choose(wxChoice* pList, int nIndex)
{
    if (!pList)
        return false;
    pList->SetSelection(nIndex);
    SendUserEvent(pList, wxEVT_CHOICE, nIndex);
    return true;
}

wxFrame* ShowOwnerFrame(const wxSize& size)
{
    setenv("PULSE_SERVER", "unix:/nonexistent/vorane/native", 1);
    MoveMouse(wxPoint(2, 2));
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "Owner", wxPoint(40, 40), size);
    pFrame->Show();
    return WaitUntil([&] { return pFrame->IsActive(); }) ? pFrame : nullptr;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    g_pDisplay = new CXDisplay();
    // A connection held to the end keeps the X server from resetting under GTK's.
    for (int i = 0; g_pDisplay->Ok() && i < 1000 && !PixelConnection(); ++i)
        usleep(10000);
    setenv("GTK_THEME", "Adwaita", 1);
    // No accessibility bridge, unless a run that starts its own accessibility bus asks for it (NO_AT_BRIDGE=0).
    setenv("NO_AT_BRIDGE", "1", 0);
    wxLog::SetActiveTarget(new wxLogStderr);
    wxApp::SetInstance(new CTestApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!t_pConnection || !wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "window tests need Xvfb and openbox (scripts/install-deps)\n");
        delete g_pDisplay;
        return 1;
    }
    wxInitAllImageHandlers();
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
        ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion " << cond.utf8_string() << " in "
                                              << func.utf8_string() << ": " << msg.utf8_string();
    });
    int nResult;
    {
        wxEventLoop loop;
        wxEventLoopActivator activate(&loop);
        nResult = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    XCloseDisplay(t_pConnection);
    // Leave at once: our X clients would fail in the clean-up at exit.
    delete g_pDisplay;
    std::fflush(nullptr);
    _exit(nResult);
}
