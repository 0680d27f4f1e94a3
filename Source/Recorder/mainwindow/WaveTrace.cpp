#include "WaveTrace.h"

#include <algorithm>

int TraceY(int32_t nSample, int nHeight)
{
    int y = (nSample >> 6) + nHeight / 2;
    if (y < 0)
        return 0;
    return std::min(y, nHeight);
}

void CTraceSamples::SetBlock(const std::vector<int32_t>& samples)
{
    if (m_samples.size() < samples.size())
        m_samples.resize(samples.size());
    std::copy(samples.begin(), samples.end(), m_samples.begin());
    // The count follows the block, so a smaller block after a larger one never shows
    // the older block's tail.
    m_nCount = static_cast<int>(samples.size());
    m_nPosition = 0;
}

void CTraceSamples::Exhaust()
{
    m_nPosition = m_nCount > 0 ? m_nCount - 1 : 0;
}

void CTraceSamples::Clear()
{
    m_nCount = 0;
    m_nPosition = 0;
}

int CTraceSamples::NextPage(int nWidth, int nHeight, std::vector<int>& ys)
{
    if (!HasMore())
        return 0;
    const int n = std::min(nWidth, m_nCount - m_nPosition - 1);
    if (n < 1)
        return 0;
    if (static_cast<int>(ys.size()) < n)
        ys.resize(n);
    for (int i = 0; i < n; ++i)
        ys[i] = TraceY(m_samples[m_nPosition + i], nHeight);
    m_nPosition += n;
    return n;
}
