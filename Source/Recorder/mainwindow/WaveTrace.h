// The live trace of the waveform view: the display samples of the latest second
// and how far they have been drawn. Each page takes as many samples as the wave
// rectangle is wide, so the trace runs through the second like an oscilloscope.
// No windows here.
//
// Threads: not locked itself; the view guards it with its own lock.
#pragma once
#include <cstdint>
#include <vector>

// Where a sample is drawn in a rectangle nHeight pixels high: positive samples
// below the middle, clamped to 0 .. nHeight.
int TraceY(int32_t nSample, int nHeight);

class CTraceSamples
{
public:
    // Takes a new block; drawing starts again at its first sample.
    void SetBlock(const std::vector<int32_t>& samples);
    // Nothing left to draw (as after a stop).
    void Exhaust();
    void Clear();

    bool HasMore() const { return m_nCount > 0 && m_nPosition + 1 < m_nCount; }
    // Fills ys with the y of each point of the next page (at most nWidth points) and
    // advances past them; returns the number of points, 0 when nothing is left.
    int NextPage(int nWidth, int nHeight, std::vector<int>& ys);

    int Count() const { return m_nCount; }
    int Position() const { return m_nPosition; }

private:
    std::vector<int32_t> m_samples;  // grows only; reused for every block
    int m_nCount = 0;
    int m_nPosition = 0;
};
