// The program's private window messages, numbered as on Windows, and the wx
// event that carries one (its id is the message number) to a parent window.
//
//   BEGIN_EVENT_TABLE(CMainDlg, wxDialog)
//       EVT_WINDOW_MESSAGE(WM_WAVEFORM_STOPPED, CMainDlg::OnWaveformStopped)
//   or  Bind(EVT_TYPE_WINDOW_MESSAGE, &CMainDlg::OnAudioListRClick, this, WM_AUDIOLIST_RCLICK);
//
// Threads: SendWindowMessage on the main thread only; PostWindowMessage from any thread.
#pragma once
#include <cstdint>
#include <wx/event.h>

#ifndef WM_USER
#define WM_USER 0x0400
#endif
#define WM_AUDIOLIST_RCLICK (WM_USER + 1002)     // sent; wParam row or -1, lParam const wxPoint* in screen coordinates
#define WM_AUDIOLIST_DBLCLK (WM_USER + 1003)     // posted; 0, 0
#define WM_AUDIOLIST_SELCHANGE (WM_USER + 1012)  // sent; wParam 1 when a row became selected and focused, else 0
#define WM_WAVEFORM_STOPPED (WM_USER + 1036)     // posted; 0, 0
#define WM_WAVEFORM_SPLIT (WM_USER + 1037)       // posted; 0, 0: a split recording finished a file

class CWindowMessageEvent : public wxEvent
{
public:
    CWindowMessageEvent(int nMessage = 0, intptr_t wParam = 0, intptr_t lParam = 0);

    int Message() const { return GetId(); }
    intptr_t WParam() const { return m_wParam; }
    intptr_t LParam() const { return m_lParam; }
    // What a sent message returns to its sender.
    void SetResult(intptr_t nResult) { m_nResult = nResult; }
    intptr_t Result() const { return m_nResult; }

    wxEvent* Clone() const override { return new CWindowMessageEvent(*this); }

private:
    intptr_t m_wParam;
    intptr_t m_lParam;
    intptr_t m_nResult = 0;
};

wxDECLARE_EVENT(EVT_TYPE_WINDOW_MESSAGE, CWindowMessageEvent);

typedef void (wxEvtHandler::*CWindowMessageFunction)(CWindowMessageEvent&);
#define CWindowMessageHandler(func) wxEVENT_HANDLER_CAST(CWindowMessageFunction, func)
#define EVT_WINDOW_MESSAGE(message, func) wx__DECLARE_EVT1(EVT_TYPE_WINDOW_MESSAGE, message, CWindowMessageHandler(func))

// Handles the message at once in the target's handler and returns its result (0 when
// nobody handled it). A null target sends nothing.
intptr_t SendWindowMessage(wxEvtHandler* pTarget, int nMessage, intptr_t wParam, intptr_t lParam);
// Queues the message for the target's main-thread event loop.
void PostWindowMessage(wxEvtHandler* pTarget, int nMessage, intptr_t wParam, intptr_t lParam);
