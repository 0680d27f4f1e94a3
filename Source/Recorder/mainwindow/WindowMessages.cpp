#include "WindowMessages.h"

wxDEFINE_EVENT(EVT_TYPE_WINDOW_MESSAGE, CWindowMessageEvent);

CWindowMessageEvent::CWindowMessageEvent(int nMessage, intptr_t wParam, intptr_t lParam)
    : wxEvent(nMessage, EVT_TYPE_WINDOW_MESSAGE), m_wParam(wParam), m_lParam(lParam)
{
}

intptr_t SendWindowMessage(wxEvtHandler* pTarget, int nMessage, intptr_t wParam, intptr_t lParam)
{
    if (!pTarget)
        return 0;
    CWindowMessageEvent event(nMessage, wParam, lParam);
    pTarget->ProcessEvent(event);
    return event.Result();
}

void PostWindowMessage(wxEvtHandler* pTarget, int nMessage, intptr_t wParam, intptr_t lParam)
{
    if (pTarget)
        wxQueueEvent(pTarget, new CWindowMessageEvent(nMessage, wParam, lParam));
}
