#include "Event.h"

#include <chrono>

void CEventObject::Set()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSignalled = true;
    }
    if (m_bManual)
        m_cv.notify_all();
    else
        m_cv.notify_one();
}

void CEventObject::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignalled = false;
}

DWORD CEventObject::Wait(DWORD dwMilliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    auto ready = [this] { return m_bSignalled; };
    if (dwMilliseconds == INFINITE)
        m_cv.wait(lock, ready);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), ready))
        return WAIT_TIMEOUT;
    if (!m_bManual)
        m_bSignalled = false;
    return WAIT_OBJECT_0;
}

HANDLE CreateEventA(void*, BOOL bManualReset, BOOL bInitialState, const char*)
{
    return new CEventObject(bManualReset != 0, bInitialState != 0);
}

BOOL SetEvent(HANDLE hEvent)
{
    if (!hEvent)
        return FALSE;
    static_cast<CEventObject*>(hEvent)->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent)
{
    if (!hEvent)
        return FALSE;
    static_cast<CEventObject*>(hEvent)->Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hEvent, DWORD dwMilliseconds)
{
    if (!hEvent)
        return WAIT_TIMEOUT;
    return static_cast<CEventObject*>(hEvent)->Wait(dwMilliseconds);
}

BOOL CloseHandle(HANDLE hEvent)
{
    delete static_cast<CEventObject*>(hEvent);
    return TRUE;
}
