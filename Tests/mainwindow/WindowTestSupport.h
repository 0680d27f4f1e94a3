// Window tests of the main window's parts: a private X display with wx started
// on it, event pumping with a time-out, screenshots read back as pixels, and a
// parent frame that records the private messages it receives.
#pragma once
#include "WindowMessages.h"
#include "XDisplay.h"

#include <functional>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/image.h>

// The display and the wx application of this test program (set up by its main).
CXDisplay& TestDisplay();

// Processes window events until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int nTimeoutMs = 10000);
// Processes the events that are already waiting, briefly.
void PumpPending();

// The whole screen as an image (kept at path).
wxImage Screenshot(const std::string& path);
// Takes screenshots until the condition holds on one or the time is up; returns that image.
bool ScreenshotUntil(const std::string& path, const std::function<bool(const wxImage&)>& condition,
                     wxImage& image, int nTimeoutMs = 10000);
wxColour PixelAt(const wxImage& image, const wxPoint& screenPoint);
// How many pixels of exactly that colour lie in the screen rectangle.
int CountColour(const wxImage& image, const wxRect& screenRect, const wxColour& colour);

// Where a test keeps the screenshots it was asked to keep.
std::string OutputPath(const std::string& name);

// Runs an X tool command (xdotool ...) on the test display.
bool RunX(const std::string& command);

struct ReceivedMessage
{
    int nMessage;
    intptr_t wParam;
    intptr_t lParam;
    wxPoint point;  // for WM_AUDIOLIST_RCLICK: the point lParam pointed to
};

class CMessageFrame : public wxFrame
{
public:
    explicit CMessageFrame(const wxSize& clientSize);
    std::vector<ReceivedMessage> received;
    int Count(int nMessage) const;
    const ReceivedMessage* Last(int nMessage) const;
    // Posts a marker to itself and waits for it: every message posted before has arrived.
    bool Drain();

private:
    void OnMessage(CWindowMessageEvent& event);
};

constexpr int WM_TEST_MARKER = WM_USER + 4000;
