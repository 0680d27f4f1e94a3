// The main window's parts under test: a frame that records the window messages its children send.
#pragma once
#include "LstctrlAudio.h"
#include "RecordedRow.h"
#include "UiTestSupport.h"
#include "WindowMessages.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <wx/process.h>
#include <wx/utils.h>
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

// What a screen reader reads of this program once a line holds the text: the accessibility tree as
// Tests/support/atspi_tree.py prints it ("depth role | name | description | states" lines). Events run
// meanwhile, since the program itself answers the reader. Needs a session bus (the test runs under
// dbus-run-session); empty when the reader found no such line.
inline std::string ReadAccessibleTree(const std::string& waitFor)
{
    const std::string out = std::string(UI_TEST_OUTPUT_DIR) + "/atspi-" + std::to_string(getpid()) + ".txt";
    const std::string command = "/usr/bin/python3 " VORANE_TEST_SOURCE_DIR "/Tests/support/atspi_tree.py --pid " +
                                std::to_string(getpid()) + " --timeout 15 --wait '" + waitFor + "' > " + out;
    bool bEnded = false;
    int nStatus = -1;
    auto* pProcess = new wxProcess;
    pProcess->Bind(wxEVT_END_PROCESS, [&](wxProcessEvent& event) { bEnded = true, nStatus = event.GetExitCode(); });
    if (wxExecute(wxString::FromUTF8("/bin/sh -c \"" + command + "\""), wxEXEC_ASYNC, pProcess) <= 0)
        return std::string();
    WaitUntil([&] { return bEnded; }, 30000);
    // A process whose end was handled is the caller's to free; one still running keeps its object.
    if (bEnded)
        delete pProcess;
    std::ostringstream text;
    text << std::ifstream(out).rdbuf();
    return bEnded && nStatus == 0 ? text.str() : std::string();
}
