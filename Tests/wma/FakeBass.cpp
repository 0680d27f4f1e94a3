// The fake module: scripted answers, every call logged; it writes no file.
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

namespace
{
std::vector<DWORD> g_list;
const HWMENCODE HANDLE_VALUE = 7;
}  // namespace

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

BOOL BASS_Init(int, DWORD, DWORD, HWND, const void*)
{
    TheLog().order.push_back("Init");
    return TheScript().initFails ? FALSE : TRUE;
}

BOOL BASS_Free(void)
{
    TheLog().order.push_back("Free");
    return TRUE;
}

const DWORD* BASS_WMA_EncodeGetRates(DWORD, DWORD, DWORD flags)
{
    TheLog().ratesFlags = flags;
    if (!TheScript().hasList)
        return nullptr;
    g_list = (flags & BASS_WMA_ENCODE_RATES_VBR) ? TheScript().qualities : TheScript().rates;
    g_list.push_back(0);
    return g_list.data();
}

HWMENCODE BASS_WMA_EncodeOpenFile(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate, const void* file)
{
    Log& log = TheLog();
    log.order.push_back("OpenFile");
    log.openFreq = freq;
    log.openChans = chans;
    log.openFlags = flags;
    log.openBitrate = bitrate;
    log.openFile = static_cast<const char*>(file);
    return TheScript().openFails ? 0 : HANDLE_VALUE;
}

BOOL BASS_WMA_EncodeSetTag(HWMENCODE handle, const char* tag, const char* text)
{
    TheLog().tags.emplace_back(tag ? tag : "(null)", text ? text : "(null)");
    return handle == HANDLE_VALUE ? TRUE : FALSE;
}

BOOL BASS_WMA_EncodeWrite(HWMENCODE handle, const void*, DWORD)
{
    ++TheLog().writeCalls;
    return handle == HANDLE_VALUE ? TRUE : FALSE;
}

void BASS_WMA_EncodeClose(HWMENCODE)
{
    TheLog().order.push_back("Close");
}

DWORD BASS_WMA_EncodeGetBitrate(HWMENCODE handle)
{
    return handle == HANDLE_VALUE ? TheScript().realBitrate : 0;
}
}
