// Scripted stand-ins of libbass.so and libbasswma.so for the WMA receiver's tests:
// the test says what the library answers and reads back every call it received.
#pragma once
#include "basswma.h"

#include <string>
#include <utility>
#include <vector>

namespace fakebass
{
struct Script
{
    DWORD version = 0x02040000;
    bool initFails = false;
    bool hasList = true;
    std::vector<DWORD> rates{128000, 96000, 64000, 48000};  // without the closing 0
    std::vector<DWORD> qualities{100, 98, 90, 75, 50, 25, 10};
    bool openFails = false;
    bool writeFails = false;
    DWORD realBitrate = 0;  // what BASS_WMA_EncodeGetBitrate answers
};

struct Log
{
    int initCalls = 0;
    int freeCalls = 0;
    std::vector<std::pair<DWORD, DWORD>> configs;  // option, value
    DWORD ratesFlags = 0xFFFFFFFFu;
    int openCalls = 0;
    DWORD openFreq = 0, openChans = 0, openFlags = 0, openBitrate = 0;
    std::string openFile;
    std::vector<std::pair<std::string, std::string>> tags;  // a null name or text reads "(null)"
    int writeCalls = 0;
    int closeCalls = 0;
    std::vector<std::string> order;  // "Init", "OpenFile", "Close", "Free", ...
};

Script& TheScript();
Log& TheLog();
// A fresh script and an empty log.
void Reset();

// The header the fake writes when the tags end, and the share of the PCM it writes as "encoded".
constexpr size_t HEADER_BYTES = 100;
constexpr DWORD PCM_PER_ENCODED_BYTE = 20;
}  // namespace fakebass
