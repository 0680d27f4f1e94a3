// Stand-in for the kernel's event objects (CreateEvent, SetEvent, ResetEvent,
// WaitForSingleObject, CloseHandle on an event).
//
// Only auto-reset and manual-reset events without names are emulated: the
// capture worker waits on one, and the wave-input stand-in signals it from the
// device's own thread. Any thread may call any of these.
#pragma once
#include "windef.h"

#include <condition_variable>
#include <mutex>

class CEventObject
{
public:
    CEventObject(bool bManualReset, bool bInitialState) : m_bManual(bManualReset), m_bSignalled(bInitialState) {}

    void Set();
    void Reset();
    // Returns WAIT_OBJECT_0 or WAIT_TIMEOUT; an auto-reset event is cleared by a successful wait.
    DWORD Wait(DWORD dwMilliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    const bool m_bManual;
    bool m_bSignalled;
};

HANDLE CreateEventA(void* lpAttributes, BOOL bManualReset, BOOL bInitialState, const char* lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
DWORD WaitForSingleObject(HANDLE hEvent, DWORD dwMilliseconds);
BOOL CloseHandle(HANDLE hEvent);
