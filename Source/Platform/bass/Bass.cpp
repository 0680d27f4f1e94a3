// libbass.so: the core library's initialised state. Nothing is played, so
// BASS_Init only checks its arguments and marks the library as in use.
#include "bass.h"

#include <mutex>

namespace
{
std::mutex g_lock;
bool g_bInitialised = false;
DWORD g_nUpdatePeriod = 100;
}  // namespace

extern "C" {

BASSDEF(DWORD) BASS_GetVersion(void)
{
    return 0x02040000;
}

BASSDEF(BOOL) BASS_SetConfig(DWORD option, DWORD value)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (option != BASS_CONFIG_UPDATEPERIOD)
        return FALSE;
    g_nUpdatePeriod = value;
    return TRUE;
}

BASSDEF(BOOL) BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (device != 0 || freq == 0 || g_bInitialised)
        return FALSE;
    g_bInitialised = true;
    return TRUE;
}

BASSDEF(BOOL) BASS_Free(void)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_bInitialised)
        return FALSE;
    g_bInitialised = false;
    return TRUE;
}
}
