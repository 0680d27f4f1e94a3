// Fake libbass.so: the core calls, scripted; also holds the script and log of both fakes.
#include "FakeBass.h"

namespace fakebass
{
Script& TheScript()
{
    static Script script;
    return script;
}

Log& TheLog()
{
    static Log log;
    return log;
}

void Reset()
{
    TheScript() = Script();
    TheLog() = Log();
}
}  // namespace fakebass

using namespace fakebass;

extern "C" {
DWORD BASS_GetVersion(void)
{
    return TheScript().version;
}

BOOL BASS_SetConfig(DWORD option, DWORD value)
{
    TheLog().configs.emplace_back(option, value);
    return TRUE;
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid)
{
    ++TheLog().initCalls;
    TheLog().order.push_back("Init");
    return TheScript().initFails ? FALSE : TRUE;
}

BOOL BASS_Free(void)
{
    ++TheLog().freeCalls;
    TheLog().order.push_back("Free");
    return TRUE;
}
}
