#include "LevelMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
double Decibels(double dAmplitude)
{
    return dAmplitude > 0 ? std::max(CLevelMeter::SILENCE_DB, 20.0 * std::log10(dAmplitude)) : CLevelMeter::SILENCE_DB;
}
}  // namespace

void CLevelMeter::Reset()
{
    m_slices.clear();
    m_nNext = 0;
    m_nChannels = 0;
    m_shown = {};
    m_nClipped = 0;
}

void CLevelMeter::AddBlock(const uint8_t* pData, uint32_t nBytes, int nBitsPerSample, int nChannels,
                           uint32_t nSampleRate)
{
    if ((nBitsPerSample != 8 && nBitsPerSample != 16) || nChannels < 1 || nChannels > MAX_CHANNELS ||
        nSampleRate < SLICES_PER_SECOND || !pData)
        return;
    const uint32_t nFrameBytes = static_cast<uint32_t>(nBitsPerSample / 8 * nChannels);
    const uint32_t nFrames = nBytes / nFrameBytes;
    const uint32_t nSliceFrames = nSampleRate / SLICES_PER_SECOND;
    m_nChannels = nChannels;
    m_slices.assign((nFrames + nSliceFrames - 1) / nSliceFrames, Slice());
    m_nNext = 0;
    for (uint32_t nFrame = 0; nFrame < nFrames; ++nFrame)
    {
        Slice& slice = m_slices[nFrame / nSliceFrames];
        ++slice.nFrames;
        for (int c = 0; c < nChannels; ++c)
        {
            // Full scale is the negative limit, so the positive one reads a hair under 0 dBFS,
            // and both count as clipped.
            int nSample;
            bool bClipped;
            if (nBitsPerSample == 8)
            {
                const uint8_t n = pData[nFrame * nFrameBytes + c];
                nSample = (static_cast<int>(n) - 128) * 256;
                bClipped = n == 0 || n == 255;
            }
            else
            {
                int16_t n;
                std::memcpy(&n, pData + nFrame * nFrameBytes + 2 * c, 2);
                nSample = n;
                bClipped = n == INT16_MIN || n == INT16_MAX;
            }
            m_nClipped += bClipped;
            const double d = nSample / 32768.0;
            slice.peak[c] = std::max(slice.peak[c], std::fabs(d));
            slice.sumSquares[c] += d * d;
        }
    }
}

bool CLevelMeter::Step(uint32_t nNowMs)
{
    bool bChanged = false;
    const bool bNewSlice = m_nNext < m_slices.size();
    for (int c = 0; c < m_nChannels; ++c)
    {
        ChannelShown& shown = m_shown[c];
        const ChannelShown before = shown;
        if (bNewSlice)
        {
            const Slice& slice = m_slices[m_nNext];
            shown.dPeakDb = Decibels(slice.peak[c]);
            // 10 log10 of the mean square is 20 log10 of the RMS.
            shown.dRmsDb = slice.nFrames ? std::max(SILENCE_DB, 10.0 * std::log10(slice.sumSquares[c] / slice.nFrames))
                                         : SILENCE_DB;
            if (!std::isfinite(shown.dRmsDb))
                shown.dRmsDb = SILENCE_DB;
        }
        if (shown.dPeakDb >= shown.dHoldDb || nNowMs - shown.nHoldSince >= HOLD_MS)
        {
            shown.dHoldDb = shown.dPeakDb;
            shown.nHoldSince = nNowMs;
        }
        bChanged = bChanged || shown.dPeakDb != before.dPeakDb || shown.dRmsDb != before.dRmsDb ||
                   shown.dHoldDb != before.dHoldDb;
    }
    if (bNewSlice)
        ++m_nNext;
    return bChanged;
}

CLevelMeter::Levels CLevelMeter::Shown() const
{
    Levels levels;
    levels.nChannels = m_nChannels;
    for (int c = 0; c < m_nChannels; ++c)
    {
        levels.peakDb[c] = m_shown[c].dPeakDb;
        levels.rmsDb[c] = m_shown[c].dRmsDb;
        levels.holdDb[c] = m_shown[c].dHoldDb;
    }
    levels.bClipped = Clipped();
    return levels;
}

double CLevelMeter::BarFraction(double dDb)
{
    return std::clamp((dDb - FLOOR_DB) / -FLOOR_DB, 0.0, 1.0);
}
