#include "WindowClass.h"

#include "WindowSystem.h"

#include <wx/eventfilter.h>
#include <wx/toplevel.h>

const char* const PROGRAM_WINDOW_CLASS = VORANE_APP_ID;

namespace
{
// Sees every window as it is made, and gives each top-level one the class.
class CWindowClassFilter : public wxEventFilter
{
public:
    int FilterEvent(wxEvent& event) override
    {
        if (event.GetEventType() == wxEVT_CREATE)
            if (auto* pWindow = wxDynamicCast(event.GetEventObject(), wxTopLevelWindow))
                SetNativeWindowClass(pWindow->GetHandle(), PROGRAM_WINDOW_CLASS);
        return Event_Skip;
    }
};

CWindowClassFilter* g_pFilter = nullptr;
}  // namespace

void UseWindowClass()
{
    if (g_pFilter)
        return;
    g_pFilter = new CWindowClassFilter;
    wxEvtHandler::AddFilter(g_pFilter);
}

void StopWindowClass()
{
    if (!g_pFilter)
        return;
    wxEvtHandler::RemoveFilter(g_pFilter);
    delete g_pFilter;
    g_pFilter = nullptr;
}
