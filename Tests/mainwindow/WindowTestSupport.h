// Window tests: wx on a private X display, event pumping, screenshots as pixels, a frame recording its messages.
#pragma once
#include "WindowMessages.h"

#include <functional>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/image.h>

// Processes window events until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int nTimeoutMs = 10000);

// Takes screenshots (kept as output/<name>) until the condition holds on one or the time is up.
bool ScreenshotUntil(const std::string& name, const std::function<bool(const wxImage&)>& condition,
                     wxImage& image);
// Ends the program at once, failed, with the display shut down: for a thread stuck for good.
[[noreturn]] void AbandonWindowTests();
wxColour PixelAt(const wxImage& image, const wxPoint& screenPoint);
// How many pixels of exactly that colour lie in the screen rectangle.
int CountColour(const wxImage& image, const wxRect& screenRect, const wxColour& colour);

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
    // Shows the frame and waits until the child is on the screen and the frame active.
    bool ShowWith(wxWindow* pChild);
    void DestroyNow();
    std::vector<ReceivedMessage> received;
    int Count(int nMessage) const;
    const ReceivedMessage* Last(int nMessage) const;
    // Posts a marker to itself and waits for it: every message posted before has arrived.
    bool Drain();
};
