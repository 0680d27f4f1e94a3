// The level meter of the waveform view: peak and RMS per channel in dBFS, a peak
// hold, and a clip mark with the number of samples that reached full scale. A
// captured block (a second) is measured at once in slices of 1/25 s, and the view
// shows one slice per frame, so the bars move at the trace's pace. No windows here.
//
// Threads: not locked itself; the view guards it with its own lock.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class CLevelMeter
{
public:
    static constexpr int MAX_CHANNELS = 2;
    static constexpr int SLICES_PER_SECOND = 25;
    static constexpr uint32_t HOLD_MS = 1500;
    // What silence reads; the bars show from FLOOR_DB up.
    static constexpr double SILENCE_DB = -120.0;
    static constexpr double FLOOR_DB = -60.0;

    // A new recording: no levels, no clip.
    void Reset();
    // Measures one captured block of interleaved 8-bit (unsigned) or 16-bit PCM; its slices
    // are shown from the next Step on. Other formats are ignored.
    void AddBlock(const uint8_t* pData, uint32_t nBytes, int nBitsPerSample, int nChannels, uint32_t nSampleRate);
    // Shows the next slice at nNowMs (any steady clock) and lets a hold older than HOLD_MS
    // fall back. False when nothing shown changed.
    bool Step(uint32_t nNowMs);
    // Nothing more to show until the next block (as after a stop).
    void Exhaust() { m_nNext = m_slices.size(); }

    int Channels() const { return m_nChannels; }
    double PeakDb(int nChannel) const { return m_shown[nChannel].dPeakDb; }
    double RmsDb(int nChannel) const { return m_shown[nChannel].dRmsDb; }
    double HoldDb(int nChannel) const { return m_shown[nChannel].dHoldDb; }
    bool Clipped() const { return m_nClipped > 0; }
    // Samples (of every channel) at full scale since the recording started.
    uint64_t ClippedSamples() const { return m_nClipped; }

    // What a bar shows, copied out for painting.
    struct Levels
    {
        int nChannels = 0;
        std::array<double, MAX_CHANNELS> peakDb{}, rmsDb{}, holdDb{};
        bool bClipped = false;
        bool operator==(const Levels& other) const = default;
    };
    Levels Shown() const;

    // The share 0 .. 1 of a bar nDb reaches, from FLOOR_DB to 0 dBFS.
    static double BarFraction(double dDb);

private:
    struct Slice
    {
        std::array<double, MAX_CHANNELS> peak{};  // largest magnitude, 0 .. 1
        std::array<double, MAX_CHANNELS> sumSquares{};
        uint32_t nFrames = 0;
    };
    struct ChannelShown
    {
        double dPeakDb = SILENCE_DB;
        double dRmsDb = SILENCE_DB;
        double dHoldDb = SILENCE_DB;
        uint32_t nHoldSince = 0;
    };

    std::vector<Slice> m_slices;  // reused for every block
    size_t m_nNext = 0;
    int m_nChannels = 0;
    std::array<ChannelShown, MAX_CHANNELS> m_shown{};
    uint64_t m_nClipped = 0;
};
