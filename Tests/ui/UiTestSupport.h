// Window tests: one private X display and wx application per program; xdotool drives, X pixels read.
// Modal dialogs: the main thread runs the modal loop while a user thread plays the user.
#pragma once
#include "Shell.h"
#include "XDisplay.h"

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/dataview.h>

#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

CXDisplay& UiDisplay();

// Runs wx events until the condition holds or the time is up; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int nTimeoutMs = 20000);
void DestroyAndWait(wxWindow* pWindow);

// True when the screen pixel has the colour (each channel within the tolerance). Safe from any thread.
bool PixelIs(const wxPoint& screen, const wxColour& colour, int nTolerance = 0);
int CountPixels(const wxRect& screen, const std::function<bool(const wxColour&)>& test);
// Polls the screen without running wx events (for threads that drive a modal loop).
bool WaitForPixelFromThread(const wxPoint& screen, const wxColour& colour, int nTimeoutMs = 10000);

bool Xdo(const std::string& args);
bool MoveMouse(const wxPoint& screen);
// Moves there and, once the pointer is there, clicks (any xdotool click, e.g. "click 3").
bool ClickAt(const wxPoint& screen, const std::string& click = "click 1");

// Saves <name>.png in the test binary folder and returns the path.
std::string SaveScreenshot(const std::string& name);
// Screenshots (kept as <name>.png) until the condition holds on one or the time is up.
bool ScreenshotUntil(const std::string& name, const std::function<bool(const wxImage&)>& condition, wxImage& image);
wxColour PixelAt(const wxImage& image, const wxPoint& screen);
// How many pixels of exactly that colour lie in the screen rectangle of the shot.
int CountColour(const wxImage& image, const wxRect& screen, const wxColour& colour);

bool SameColour(const wxColour& a, const wxColour& b, int nTolerance = 0);
inline double Luma(const wxColour& c) { return 0.299 * c.Red() + 0.587 * c.Green() + 0.114 * c.Blue(); }

// Runs a modal loop (a dialog's, a popup menu's) while the user thread drives it; returns its result.
int RunModal(const std::function<int()>& loop, const std::function<void()>& user);
inline int RunModal(wxDialog& dialog, const std::function<void()>& user)
{
    return RunModal([&] { return dialog.ShowModal(); }, user);
}

// From the user thread: runs the call on the main thread.
template <class F>
auto OnMain(F call) -> decltype(call())
{
    using Result = decltype(call());
    auto pPromise = std::make_shared<std::promise<Result>>();
    auto future = pPromise->get_future();
    wxTheApp->CallAfter([pPromise, call]() { pPromise->set_value(call()); });
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
    {
        ADD_FAILURE() << "the main thread did not answer";
        return Result();
    }
    return future.get();
}
bool WaitOnMain(const std::function<bool()>& condition, int nTimeoutMs = 20000);

wxRect ScreenRect(wxWindow* pWindow);
// A rectangle in the window's client coordinates, on the screen.
wxRect ScreenRect(const wxWindow* pWindow, const wxRect& client);
// From the user thread: the text of the message box once it is up.
std::string WaitForMessageBox();
bool WaitUntilActiveAndPainted(wxWindow* pDialog, wxWindow* pPainted);
bool PressKeys(const std::string& keys);
// On the main thread: presses the keys, then a marker key no window uses, and runs events until the
// marker has reached the program: every key before it has been handled by then.
bool PressKeysAndWait(const std::string& keys);
// What a screen reader reads of this program once a line holds the text: the accessibility tree as
// Tests/support/atspi_tree.py prints it ("depth role | name | description | states" lines). Events run
// meanwhile, since the program itself answers the reader. Needs a session bus and the toolkit's bridge
// (dbus-run-session, NO_AT_BRIDGE=0); empty when no line held the text in time.
std::string ReadAccessibleTree(const std::string& waitFor, int nTimeoutSeconds = 15);
// The window's shown controls, into every container, that are cut (smaller than they need, or not wholly
// inside the screen area) or, when bStrict, overlap another control or have text fields lower than GTK
// asks: each as its id, label and size.
std::vector<std::string> LayoutFaults(wxWindow* pWindow, const wxRect& area, bool bStrict);
// The keyboard's faults on a shown, active window (main thread; pressing keys): from pStart, which it focuses, Tab goes
// through each of the controls that takes keys now (of a group of mode buttons only the chosen one) once, in reading
// order, back to pStart, and Shift+Tab the same way back; with bFocusShows, each stop looks different once it has lost
// the focus. Every control with a text of its own, and every label right before a field, has a mnemonic no other of
// the controls shares, and a label's mnemonic focuses the field it stands by.
std::vector<std::string> KeyboardFaults(wxWindow* pTop, wxWindow* pStart, std::vector<wxWindow*> controls, bool bFocusShows);
// The window's children, into every container.
std::vector<wxWindow*> AllChildren(wxWindow* pWindow);
// The tree's items depth first, each text indented two spaces a level.
std::vector<std::pair<wxString, wxDataViewItem>> TreeOutline(wxDataViewTreeCtrl* pTree, wxDataViewItem parent = {},
                                                             const wxString& indent = "");
// What a user's choice in a list, click on a mode button or press of a button sends to the handlers.
void SendUserEvent(wxWindow* pControl, wxEventType type, int n);
// Chooses the item as a user does; false when there is no list.
bool Choose(wxChoice* pList, int nIndex);
// The active owner window of the dialogs, with no sound server.
wxFrame* ShowOwnerFrame(const wxSize& size = wxSize(500, 300));
// Takes the desktop's requests ("<verb> <file>") in its place while it lives.
struct CShellRecorder
{
    CShellRecorder()
        : previous(SetShellHandler([this](const ShellRequest& r) { requests.push_back(r.verb + " " + r.file); return nResult; })) {}
    ~CShellRecorder() { SetShellHandler(previous); }
    std::vector<std::string> requests;
    INT_PTR nResult = SE_OK_STARTED;
    ShellHandler previous;
};
