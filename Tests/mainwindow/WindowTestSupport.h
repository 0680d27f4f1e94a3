// The main window's parts under test: a frame that records the window messages its children send.
#pragma once
#include "LstctrlAudio.h"
#include "RecordedRow.h"
#include "UiTestSupport.h"
#include "WindowMessages.h"

#include <algorithm>
#include <vector>
#include <wx/frame.h>

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
    explicit CMessageFrame(const wxSize& clientSize) : wxFrame(nullptr, wxID_ANY, "Vorane window test", wxPoint(40, 40))
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
    bool ShowWith(wxWindow* pChild)
    {
        Show();
        // The window manager may leave a new window unfocused after the last one closed: ask again now and then.
        int nPolls = 0;
        return WaitUntil([&] {
            if (!IsActive() && ++nPolls % 100 == 0)
                Raise();
            return pChild->IsShownOnScreen() && IsActive();
        });
    }
    int Count(int nMessage) const
    {
        return std::count_if(received.begin(), received.end(), [&](const ReceivedMessage& m) { return m.nMessage == nMessage; });
    }
    const ReceivedMessage* Last(int nMessage) const
    {
        auto it = std::find_if(received.rbegin(), received.rend(), [&](const ReceivedMessage& m) { return m.nMessage == nMessage; });
        return it == received.rend() ? nullptr : &*it;
    }
    // Posts a marker to itself and waits for it: every message posted before has arrived.
    bool Drain()
    {
        const int nMarker = WM_USER + 4000, nBefore = Count(nMarker);
        PostWindowMessage(this, nMarker, 0, 0);
        return WaitUntil([&] { return Count(nMarker) > nBefore; });
    }
    std::vector<ReceivedMessage> received;
};

// The window manager moves a window after it is shown: screen points hold once its list stays put a while.
template <class TMainDlg>
bool WaitForStillWindow(TMainDlg* pDlg)
{
    wxPoint last;
    int nStill = 0;
    return WaitUntil([&] {
        const wxPoint now = pDlg->IsShownOnScreen() ? pDlg->AudioList()->GetScreenPosition() : wxDefaultPosition;
        nStill = now == last && now != wxDefaultPosition ? nStill + 1 : 0;
        last = now;
        return nStill >= 60;
    });
}

// The list places new rows when it next lays itself out; until then their rectangles are guesses.
inline bool WaitForRowsLaidOut(const CLstctrlAudio& list)
{
    return WaitUntil([&] {
        wxRect above, row;
        for (int i = 0; i < list.GetItemCount(); above = row, ++i)
            if (!list.GetItemRect(i, row) || (i > 0 && row.y < above.GetBottom()))
                return false;
        return true;
    });
}
