#include "SilenceGate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void CSilenceGate::Start(const SilenceGateOptions& options, const WAVEFORMATEX& format)
{
    m_bOn = options.bOn && (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) && format.nChannels > 0;
    m_bWaiting = true;
    m_nChannels = std::max<uint32_t>(1, format.nChannels);
    m_nBits = format.wBitsPerSample;
    m_nFrameBytes = std::max<uint32_t>(1, format.nBlockAlign);
    // A peak at the threshold is sound: -45 dBFS is 184 of 32768.
    m_nThreshold = std::max<int32_t>(1, static_cast<int32_t>(std::lround(32768.0 * std::pow(10.0, options.nThresholdDb / 20.0))));
    m_nHoldFrames = static_cast<uint64_t>(std::max(0, options.nHoldMilliseconds)) * format.nSamplesPerSec / 1000;
    m_nQuietFrames = 0;
    m_nKeptCapacity = static_cast<uint32_t>(uint64_t(PRE_ROLL_MILLISECONDS) * format.nSamplesPerSec / 1000);
    m_kept.assign(m_bOn ? size_t(m_nKeptCapacity) * m_nFrameBytes : 0, 0);
    m_nKeptFirst = m_nKeptCount = 0;
}

bool CSilenceGate::IsLoud(const uint8_t* pFrame) const
{
    for (uint32_t c = 0; c < m_nChannels; ++c)
    {
        int32_t s;
        if (m_nBits == 8)
            s = (static_cast<int32_t>(pFrame[c]) - 128) * 256;
        else
        {
            int16_t v;
            std::memcpy(&v, pFrame + 2 * c, 2);
            s = v;
        }
        if (s >= m_nThreshold || -s >= m_nThreshold)
            return true;
    }
    return false;
}

void CSilenceGate::Keep(const uint8_t* pFrame)
{
    if (m_nKeptCapacity == 0)
        return;
    uint32_t nSlot = (m_nKeptFirst + m_nKeptCount) % m_nKeptCapacity;
    if (m_nKeptCount == m_nKeptCapacity)
        m_nKeptFirst = (m_nKeptFirst + 1) % m_nKeptCapacity;  // the oldest goes
    else
        ++m_nKeptCount;
    std::memcpy(m_kept.data() + size_t(nSlot) * m_nFrameBytes, pFrame, m_nFrameBytes);
}

void CSilenceGate::WriteKept(std::vector<uint8_t>& out)
{
    // The ring in two runs: from the oldest to its end, then from its start.
    const uint32_t nFirstRun = std::min(m_nKeptCount, m_nKeptCapacity - m_nKeptFirst);
    const uint8_t* pBase = m_kept.data();
    out.insert(out.end(), pBase + size_t(m_nKeptFirst) * m_nFrameBytes,
               pBase + size_t(m_nKeptFirst + nFirstRun) * m_nFrameBytes);
    out.insert(out.end(), pBase, pBase + size_t(m_nKeptCount - nFirstRun) * m_nFrameBytes);
    m_nKeptFirst = m_nKeptCount = 0;
}

void CSilenceGate::Pass(const uint8_t* pData, uint32_t nBytes, std::vector<uint8_t>& out)
{
    out.clear();
    const uint32_t nFrames = nBytes / m_nFrameBytes;
    if (!m_bOn)
    {
        out.assign(pData, pData + size_t(nFrames) * m_nFrameBytes);
        return;
    }
    // Frames that pass are copied in runs; a run ends where the waiting begins.
    uint32_t nRunStart = 0;
    for (uint32_t i = 0; i < nFrames; ++i)
    {
        const uint8_t* pFrame = pData + size_t(i) * m_nFrameBytes;
        const bool bLoud = IsLoud(pFrame);
        if (m_bWaiting)
        {
            if (!bLoud)
            {
                Keep(pFrame);
                continue;
            }
            WriteKept(out);
            m_bWaiting = false;
            m_nQuietFrames = 0;
            nRunStart = i;
            continue;
        }
        m_nQuietFrames = bLoud ? 0 : m_nQuietFrames + 1;
        if (m_nQuietFrames > m_nHoldFrames)
        {
            // Quiet for longer than the hold: what came before stays, this frame is the first skipped.
            out.insert(out.end(), pData + size_t(nRunStart) * m_nFrameBytes, pFrame);
            m_bWaiting = true;
            Keep(pFrame);
        }
    }
    if (!m_bWaiting)
        out.insert(out.end(), pData + size_t(nRunStart) * m_nFrameBytes, pData + size_t(nFrames) * m_nFrameBytes);
}
