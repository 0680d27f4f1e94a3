// The one record of everything that shapes a recording. Its indexes point into
// the constant tables of SettingsTables.h.
//
// Threads: main thread only. A recording copies what it needs when it is
// prepared; nothing on the capture thread reads this record.
#pragma once
#include "SettingsTables.h"

#include <cstddef>
#include <string>

struct RecorderSettings
{
    RecorderSettings();

    int DeviceIndex;
    int LineIndex;
    // The chosen device and line by name, as the configuration file keeps them: they are found again
    // wherever they stand after a restart. Empty: the positions above alone decide.
    std::string DeviceName;
    std::string LineName;
    int OutputFormat;  // 0 MP3, 1 OGG, 2 WAV, 3 WMA
    int IsOpenOutput;
    int IsViewWaveform;
    std::string SavedDirectry;
    std::string AlbumTitle;
    std::string Artist;
    std::string Title;
    int YearIndex;
    int Mp3BitrateIndex;
    int Mp3Volume;
    int OggMode;  // 0 quality, 1 variable, 2 average, 3 constant bitrate
    int OggQuality;
    int OggMinBitrateIndex;
    int OggNominalBitrateIndex;
    int OggMaxBitrateIndex;
    int WavChannelsIndex;
    int WavSampleRateIndex;
    int WavBitsIndex;
    int WmaMode;  // 0 constant bitrate, 1 quality
    int WmaBitrateIndex;
    int WmaQualityIndex;
    // Skip silence: off or on, the level below which the input is silence (dBFS), and how long it
    // may last before nothing more is written (milliseconds).
    int SkipSilence;
    int SkipSilenceDb;
    int SkipSilenceHoldMs;
    // How the "Stereo Mix + Microphone" line lays out its two sources (BOTH_LAYOUT_...).
    int BothLayout;
    int SplitFiles;    // 1: a recording goes on into a new file every SplitMinutes
    int SplitMinutes;  // 1 to 1440
};

enum
{
    BOTH_LAYOUT_MIXED = 0,         // both in every channel
    BOTH_LAYOUT_SIDE_BY_SIDE = 1,  // left the computer, right the microphone
};
// The layout's name in Config.xml and on the command line ("mixed", "side"), and back (-1: none).
const char* BothLayoutName(int nLayout);
int BothLayoutFromName(const std::string& name);

extern RecorderSettings theSettings;

// The neutral text used for album and title until the user sets their own.
extern const char* const DEFAULT_TAG_TEXT;
