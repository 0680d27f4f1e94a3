// The constant tables the settings' indexes point into, and the rules that go with
// them: what the pages offer and what a receiver is given. The receivers and the
// capture engine use these alone, never the settings record itself.
//
// Threads: any; constants only.
#pragma once
#include <cstddef>

// The track texts (album, artist, title) hold at most this many bytes, in the file and in every tag.
const size_t MAX_TEXT_BYTES = 255;

enum
{
    OUTPUT_FORMAT_MP3 = 0,
    OUTPUT_FORMAT_OGG = 1,
    OUTPUT_FORMAT_WAV = 2,
    OUTPUT_FORMAT_WMA = 3,
};

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

// Skip silence: the thresholds (dBFS) and hold times (milliseconds) a recording may be given.
const int SKIP_SILENCE_MIN_DB = -80;
const int SKIP_SILENCE_MAX_DB = -10;
const int SKIP_SILENCE_MIN_HOLD_MS = 500;
const int SKIP_SILENCE_MAX_HOLD_MS = 60000;
