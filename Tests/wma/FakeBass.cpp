// The fake module: scripted answers, every call logged; it writes no file.
#include "FakeBass.h"

using namespace fakebass;
Script fakebass::theScript;
Log fakebass::theLog;
static std::vector<DWORD> g_list;

extern "C" {
DWORD BASS_GetVersion(void) { return theScript.version; }
BOOL BASS_SetConfig(DWORD option, DWORD value)
{
    theLog.configs.emplace_back(option, value);
    return TRUE;
}
BOOL BASS_Init(int, DWORD, DWORD, HWND, const void*)
{
    theLog.order.push_back("Init");
    return theScript.initFails ? FALSE : TRUE;
}
BOOL BASS_Free(void)
{
    theLog.order.push_back("Free");
    return TRUE;
}
const DWORD* BASS_WMA_EncodeGetRates(DWORD, DWORD, DWORD flags)
{
    theLog.ratesFlags = flags;
    g_list = (flags & BASS_WMA_ENCODE_RATES_VBR) ? theScript.qualities : theScript.rates;
    g_list.push_back(0);
    return theScript.hasList ? g_list.data() : nullptr;
}
HWMENCODE BASS_WMA_EncodeOpenFile(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate, const void* file)
{
    theLog.order.push_back("OpenFile");
    theLog.open = {freq, chans, flags, bitrate};
    theLog.openFile = static_cast<const char*>(file);
    return theScript.openFails ? 0 : 7;
}
BOOL BASS_WMA_EncodeSetTag(HWMENCODE, const char* tag, const char* text)
{
    theLog.tags.emplace_back(tag ? tag : "(null)", text ? text : "(null)");
    return tag || !theScript.headerFails;
}
BOOL BASS_WMA_EncodeWrite(HWMENCODE, const void*, DWORD)
{
    ++theLog.writeCalls;
    return TRUE;
}
void BASS_WMA_EncodeClose(HWMENCODE) { theLog.order.push_back("Close"); }
DWORD BASS_WMA_EncodeGetBitrate(HWMENCODE) { return 0; }
}
