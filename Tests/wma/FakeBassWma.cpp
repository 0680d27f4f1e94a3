// Fake libbasswma.so: scripted lists and opening; "encodes" by writing a twentieth of the PCM.
#include "FakeBass.h"

#include <cstdio>
#include <vector>

using namespace fakebass;

namespace
{
FILE* g_pFile = nullptr;
std::vector<DWORD> g_list;
const HWMENCODE HANDLE_VALUE = 7;
}  // namespace

extern "C" {
const DWORD* BASS_WMA_EncodeGetRates(DWORD freq, DWORD chans, DWORD flags)
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
    ++log.openCalls;
    log.order.push_back("OpenFile");
    log.openFreq = freq;
    log.openChans = chans;
    log.openFlags = flags;
    log.openBitrate = bitrate;
    log.openFile = static_cast<const char*>(file);
    if (TheScript().openFails)
        return 0;
    g_pFile = std::fopen(static_cast<const char*>(file), "wb");
    return g_pFile ? HANDLE_VALUE : 0;
}

BOOL BASS_WMA_EncodeSetTag(HWMENCODE handle, const char* tag, const char* text)
{
    TheLog().tags.emplace_back(tag ? tag : "(null)", text ? text : "(null)");
    if (!tag && !text && g_pFile)
    {
        std::vector<char> header(HEADER_BYTES, 'H');
        std::fwrite(header.data(), 1, header.size(), g_pFile);
        std::fflush(g_pFile);
    }
    return handle == HANDLE_VALUE ? TRUE : FALSE;
}

BOOL BASS_WMA_EncodeWrite(HWMENCODE handle, const void* buffer, DWORD length)
{
    ++TheLog().writeCalls;
    if (handle != HANDLE_VALUE || !g_pFile || TheScript().writeFails)
        return FALSE;
    std::vector<char> encoded(length / PCM_PER_ENCODED_BYTE, 'E');
    std::fwrite(encoded.data(), 1, encoded.size(), g_pFile);
    std::fflush(g_pFile);
    return TRUE;
}

void BASS_WMA_EncodeClose(HWMENCODE handle)
{
    ++TheLog().closeCalls;
    TheLog().order.push_back("Close");
    if (handle == HANDLE_VALUE && g_pFile)
    {
        std::fclose(g_pFile);
        g_pFile = nullptr;
    }
}

DWORD BASS_WMA_EncodeGetBitrate(HWMENCODE handle)
{
    return handle == HANDLE_VALUE ? TheScript().realBitrate : 0;
}
}
