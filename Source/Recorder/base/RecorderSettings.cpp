#include "RecorderSettings.h"

#include <ctime>

const char* const DEFAULT_TAG_TEXT = "Vorane Recording";

const int Mp3BitrateTable[9] = {96, 112, 128, 144, 160, 192, 224, 256, 320};
const int OggBitrateTable[11] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500};
const int WavChannelTable[2] = {1, 2};
const int WavSampleRateTable[3] = {11025, 22050, 44100};
const int WavBitsTable[2] = {8, 16};
const int WmaBitrateTable[10] = {32, 48, 64, 80, 96, 128, 160, 192, 256, 320};
const int WmaQualityTable[7] = {10, 25, 50, 75, 90, 98, 100};

RecorderSettings theSettings;

RecorderSettings::RecorderSettings()
    : DeviceIndex(0),
      LineIndex(-1),
      DeviceName(),
      LineName(),
      OutputFormat(OUTPUT_FORMAT_MP3),
      IsOpenOutput(0),
      IsViewWaveform(1),
      SavedDirectry(),
      AlbumTitle(DEFAULT_TAG_TEXT),
      Artist("vorane"),
      Title(DEFAULT_TAG_TEXT),
      YearIndex(9),
      Mp3BitrateIndex(5),
      Mp3Volume(100),
      OggMode(0),
      OggQuality(400),
      OggMinBitrateIndex(0),
      OggNominalBitrateIndex(4),
      OggMaxBitrateIndex(8),
      WavChannelsIndex(1),
      WavSampleRateIndex(2),
      WavBitsIndex(1),
      WmaMode(0),
      WmaBitrateIndex(2),
      WmaQualityIndex(2),
      SkipSilence(0),
      SkipSilenceDb(-45),
      SkipSilenceHoldMs(2000),
      BothLayout(BOTH_LAYOUT_MIXED),
      SplitFiles(0),
      SplitMinutes(60)
{
}

const char* BothLayoutName(int nLayout)
{
    return nLayout == BOTH_LAYOUT_SIDE_BY_SIDE ? "side" : "mixed";
}

int BothLayoutFromName(const std::string& name)
{
    if (name == "mixed")
        return BOTH_LAYOUT_MIXED;
    if (name == "side")
        return BOTH_LAYOUT_SIDE_BY_SIDE;
    return -1;
}

int TagYear(int nYearIndex)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900 - 9 + nYearIndex;
}

double OggQualityKbps(int nOggQuality)
{
    const double d = static_cast<float>(nOggQuality * 0.01);
    if (d < 4.1)
        return d * 16 + 64;
    if (d < 8.1)
        return d * 32;
    if (d < 9.1)
        return (2 * d - 8) * 32;
    return (2 * d - 8) * 32 + (d - 9) * 116;
}

