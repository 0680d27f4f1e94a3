// A scripted stand-in of libbass.so and libbasswma.so for the WMA receiver's tests:
// the test says what the library answers and reads back the calls it received.
#pragma once
#include "basswma.h"

#include <array>
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
    bool headerFails = false;  // ending the tags (which writes the header) fails
};

struct Log
{
    std::vector<std::pair<DWORD, DWORD>> configs;  // option, value
    DWORD ratesFlags = 0xFFFFFFFFu;
    std::array<DWORD, 4> open{};  // frequency, channels, flags, bitrate
    std::string openFile;
    std::vector<std::pair<std::string, std::string>> tags;  // a null name or text reads "(null)"
    int writeCalls = 0;
    std::vector<std::string> order;  // "Init", "OpenFile", "Close", "Free"
};

extern Script theScript;
extern Log theLog;
}  // namespace fakebass
