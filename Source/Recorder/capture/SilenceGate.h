// Skipping silence: a gate between the capture and the receiver. While the
// input stays below the threshold (the peak of any channel) for longer than
// the hold time, nothing is written; the first sound writes again at once,
// after the last PRE_ROLL_MILLISECONDS of what was skipped, so no first
// syllable is cut. A recording starts waiting: one that begins in silence
// begins at its first sound.
//
// Threads: set up by CDeviceThread::StartCapture (main thread, global device
// lock held), then used by the capture thread alone. It never waits.
#pragma once
#include "mmsystem.h"

#include <cstdint>
#include <vector>

// What the settings ask of it, copied as a recording starts.
struct SilenceGateOptions
{
    bool bOn = false;
    int nThresholdDb = -45;  // dBFS
    int nHoldMilliseconds = 2000;
};

class CSilenceGate
{
public:
    static constexpr uint32_t PRE_ROLL_MILLISECONDS = 300;

    // A new recording in this capture format (PCM, 8 or 16 bits); off passes everything.
    void Start(const SilenceGateOptions& options, const WAVEFORMATEX& format);
    bool IsOn() const { return m_bOn; }
    // Nothing is being written: the input has been quiet for longer than the hold time.
    bool IsWaiting() const { return m_bOn && m_bWaiting; }
    // Takes one captured block (whole frames); out gets what is to be written, in order:
    // kept pre-roll, then the frames that pass.
    void Pass(const uint8_t* pData, uint32_t nBytes, std::vector<uint8_t>& out);

private:
    bool IsLoud(const uint8_t* pFrame) const;
    void Keep(const uint8_t* pFrame);
    void WriteKept(std::vector<uint8_t>& out);

    bool m_bOn = false;
    bool m_bWaiting = true;
    uint32_t m_nFrameBytes = 1;
    uint32_t m_nChannels = 1;
    uint32_t m_nBits = 16;
    int32_t m_nThreshold = 0;     // in 16-bit steps
    uint64_t m_nHoldFrames = 0;
    uint64_t m_nQuietFrames = 0;  // quiet frames in a row, up to the latest
    // The last skipped frames, oldest at m_nKeptFirst; never frames that were written.
    std::vector<uint8_t> m_kept;
    uint32_t m_nKeptCapacity = 0;  // frames
    uint32_t m_nKeptFirst = 0;
    uint32_t m_nKeptCount = 0;
};
