#include "AudioItem.h"

#include <algorithm>
#include <cstring>

namespace
{
template <size_t N>
void CopyText(char (&dst)[N], const char* src)
{
    const size_t n = std::min(std::strlen(src), N - 1);
    std::memcpy(dst, src, n);
    dst[n] = 0;
}
}  // namespace

void AudioItem::SetPath(const char* pszPath)
{
    CopyText(szPath, pszPath ? pszPath : "");
}

void AudioItem::DeriveName()
{
    if (szPath[0] == 0)
        return;
    const char* pSep = std::strrchr(szPath, '/');
    if (std::strlen(szPath) < 5 || !pSep)
        return;
    CopyText(szName, pSep + 1);
}

void AudioItem::CopyInfoFrom(const AudioItem& other)
{
    nLength = other.nLength;
    nSize = other.nSize;
    nSampleRate = other.nSampleRate;
    nChannels = other.nChannels;
    nBitrate = other.nBitrate;
    nBitsPerSample = other.nBitsPerSample;
}

int CAudioItemArray::Append(AudioItem* pItem)
{
    const int nRow = Count();
    pItem->nIndex = nRow;
    m_items.emplace_back(pItem);
    m_nCurrent = nRow;
    return nRow;
}

bool CAudioItemArray::Remove(int nRow)
{
    auto it = std::find_if(m_items.begin(), m_items.end(), [nRow](const auto& p) { return p->nIndex == nRow; });
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    for (size_t i = 0; i < m_items.size(); ++i)
        m_items[i]->nIndex = static_cast<int32_t>(i);
    if (m_nCurrent == nRow)
        m_nCurrent = -1;
    return true;
}

void CAudioItemArray::Clear()
{
    m_items.clear();
    m_nCurrent = -1;
}

AudioItem* CAudioItemArray::Get(int nRow) const
{
    if (nRow < 0 || nRow >= Count())
        return nullptr;
    for (const auto& p : m_items)
        if (p->nIndex == nRow)
            return p.get();
    return nullptr;
}

AudioItem* CAudioItemArray::FindRecording() const
{
    for (const auto& p : m_items)
        if (p->nState == AUDIO_STATE_RECORDING)
            return p.get();
    return nullptr;
}

void CAudioItemArray::UpdateInfo(const AudioItem& item)
{
    for (const auto& p : m_items)
        if (std::strcmp(p->szPath, item.szPath) == 0)
        {
            p->CopyInfoFrom(item);
            return;
        }
}

int CAudioItemArray::CurrentRow(int nRowsShown)
{
    if (nRowsShown <= 0)
        m_nCurrent = -1;
    return m_nCurrent;
}
