// The configuration reader on any file content: it must never crash, hang or
// read past what it was given, and what it keeps must stay within its fields.
#include "AppPaths.h"
#include "Config.h"
#include "RecorderSettings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
std::string g_folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/vorane-fuzz-config-XXXXXX";
    const char* pszFolder = mkdtemp(pattern);
    if (!pszFolder)
        std::abort();
    g_folder = pszFolder;
    std::ofstream(g_folder + "/" + PORTABLE_MARKER);
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    SetAppDir(g_folder);
    // A file the program itself writes is the first seed (VORANE_FUZZ_SEED names where it goes).
    const char* pszSeed = std::getenv("VORANE_FUZZ_SEED");
    if (pszSeed && *pszSeed)
    {
        theSettings.AlbumTitle = "Album";
        theSettings.Artist = "Artist";
        theSettings.Title = "Title";
        theSettings.DeviceName = "Device";
        theSettings.LineName = "Line";
        if (!SaveConfig("Config.xml") || std::rename((g_folder + "/Config.xml").c_str(), pszSeed) != 0)
            std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = g_folder + "/Config.xml";
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (!pFile || std::fwrite(pData, 1, nSize, pFile) != nSize || std::fclose(pFile) != 0)
        std::abort();
    theSettings = RecorderSettings();
    const int nResult = LoadConfig("Config.xml");
    if (nResult < -1 || nResult > 1)
        std::abort();
    // A file that does not parse is set aside under a free name; one copy at a time is enough here.
    std::remove((g_folder + "/Config.xml.bad").c_str());
    // Texts are cut to their fields, whatever the file says.
    if (theSettings.AlbumTitle.size() > 255 || theSettings.Artist.size() > 255 || theSettings.Title.size() > 255 ||
        theSettings.DeviceName.size() > 255 || theSettings.LineName.size() > 255)
        std::abort();
    // The recording settings are always ones the pages could have chosen.
    const RecorderSettings& s = theSettings;
    auto within = [](int n, int nSize) { return n >= 0 && n < nSize; };
    if (!within(s.OutputFormat, 4) || !within(s.Mp3BitrateIndex, TableSize(Mp3BitrateTable)) ||
        !within(s.Mp3Volume, 101) || !within(s.OggMode, 4) || !within(s.OggQuality, 1001) ||
        !within(s.OggMinBitrateIndex, TableSize(OggBitrateTable)) ||
        !within(s.OggNominalBitrateIndex, TableSize(OggBitrateTable)) ||
        !within(s.OggMaxBitrateIndex, TableSize(OggBitrateTable)) || s.OggMinBitrateIndex > s.OggMaxBitrateIndex ||
        !within(s.WavChannelsIndex, TableSize(WavChannelTable)) ||
        !within(s.WavSampleRateIndex, TableSize(WavSampleRateTable)) || !within(s.WavBitsIndex, TableSize(WavBitsTable)) ||
        !within(s.WmaMode, 2) || !within(s.WmaBitrateIndex, TableSize(WmaBitrateTable)) ||
        !within(s.WmaQualityIndex, TableSize(WmaQualityTable)))
        std::abort();
    return 0;
}
