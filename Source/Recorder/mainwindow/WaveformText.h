// The texts of the waveform view's information block, and the time and size
// helpers it shares with the mini player. No windows here.
//
// Threads: any; GetFileSizeByName also runs on the capture thread.
#pragma once
#include <cstdint>
#include <string>

// "hh:mm:ss".
std::string FormatSeconds(int nSeconds);
// Mode 1 "mm", mode 2 "mm:ss", mode 3 "mm:ss:mmm"; any other mode an empty text.
// Minutes are not wrapped at 60.
std::string FormatMilliseconds(int nMilliseconds, int nMode);
// The size of an existing regular file in bytes (low 32 bits); 0 when it cannot be opened.
uint32_t GetFileSizeByName(const char* pszPath);

// "44100HZ Stereo 128kbps", or "... VBR" when the bitrate is 100 bit/s or less.
std::string InfoFormatText(uint32_t nSampleRate, uint32_t nChannels, uint32_t nBitrate);
// The form the layout measures: always with the bitrate.
std::string InfoFormatMeasureText(uint32_t nSampleRate, uint32_t nChannels, uint32_t nBitrate);
// "mm:ss" below an hour, "hh:mm:ss" from an hour on; empty for 0.
std::string InfoLengthText(uint32_t nLength);
// Whole kilobytes (1000 bytes); empty for 0.
std::string InfoSizeText(uint32_t nSize);
