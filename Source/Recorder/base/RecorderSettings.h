// The one record of everything that shapes a recording, and the constant
// tables its indexes point into.
//
// Threads: written only on the main thread, never while a recording runs; the
// capture thread reads the tag fields when it finishes a recording.
#pragma once
#include <cstddef>
#include <string>

struct RecorderSettings
{
    RecorderSettings();

    int DeviceIndex;
    int LineIndex;
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
};

extern RecorderSettings theSettings;

// The track texts (album, artist, title) hold at most this many bytes, in the file and in every tag.
const size_t MAX_TEXT_BYTES = 255;
// At most nMax bytes of the text, never ending inside a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t nMax);

enum
{
    OUTPUT_FORMAT_MP3 = 0,
    OUTPUT_FORMAT_OGG = 1,
    OUTPUT_FORMAT_WAV = 2,
    OUTPUT_FORMAT_WMA = 3,
};

// The neutral text used for album and title until the user sets their own.
extern const char* const DEFAULT_TAG_TEXT;

extern const int Mp3BitrateTable[9];
extern const int OggBitrateTable[11];
extern const int WavChannelTable[2];
extern const int WavSampleRateTable[3];
extern const int WavBitsTable[2];
extern const int WmaBitrateTable[10];
extern const int WmaQualityTable[7];

template <typename T, int N>
constexpr int TableSize(const T (&)[N])
{
    return N;
}

// The year written into tags: the current local year minus 9 plus the index.
int TagYear(int nYearIndex);

// The bitrate, in kbit/s, a Vorbis quality setting (OggQuality, hundredths of a step, 0 to
// 1000) is expected to give: shown on the OGG page and reported for quality-mode recordings.
// The quality goes through a float as the encoder takes it, so 405 gives 128.8.
double OggQualityKbps(int nOggQuality);
