#include "WaveInPort.h"

#include "Event.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

namespace winmm
{
namespace
{
// How long a stop waits for the program's next buffer to take the audio still held back.
constexpr int kPendingWaitMs = 500;
}  // namespace

CWaveInPort::CWaveInPort(std::shared_ptr<IWaveInDevice> pDevice, const WAVEFORMATEX& format, HANDLE hEvent)
    : m_pDevice(std::move(pDevice)), m_format(format), m_hEvent(hEvent)
{
}

void CWaveInPort::SignalEvent()
{
    if (m_hEvent)
        SetEvent(m_hEvent);
}

MMRESULT CWaveInPort::Prepare(WAVEHDR* pHeader)
{
    if (!pHeader || !pHeader->lpData || pHeader->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    if (MMRESULT r = m_pDevice->Check(WaveCall::Prepare))
        return r;
    std::lock_guard<std::mutex> lock(m_mutex);
    pHeader->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveInPort::Unprepare(WAVEHDR* pHeader)
{
    if (!pHeader)
        return MMSYSERR_INVALPARAM;
    if (MMRESULT r = m_pDevice->Check(WaveCall::Unprepare))
        return r;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (pHeader->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    pHeader->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveInPort::AddBuffer(WAVEHDR* pHeader)
{
    if (!pHeader)
        return MMSYSERR_INVALPARAM;
    if (MMRESULT r = m_pDevice->Check(WaveCall::AddBuffer))
        return r;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!(pHeader->dwFlags & WHDR_PREPARED))
            return WAVERR_UNPREPARED;
        if (pHeader->dwFlags & WHDR_INQUEUE)
            return WAVERR_STILLPLAYING;
        pHeader->dwFlags &= ~WHDR_DONE;
        pHeader->dwFlags |= WHDR_INQUEUE;
        pHeader->dwBytesRecorded = 0;
        m_queue.push_back(pHeader);
        // Audio that came while no buffer was queued goes in first, as a driver's own buffer would.
        if (!m_pending.empty() && m_queue.size() == 1)
        {
            std::vector<uint8_t> pending(m_pending.begin(), m_pending.end());
            m_pending.clear();
            DeliverLocked(pending.data(), pending.size());
        }
    }
    m_queueChanged.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveInPort::Start()
{
    if (MMRESULT r = m_pDevice->Check(WaveCall::Start))
        return r;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStarted)
            return MMSYSERR_NOERROR;
        m_bStarted = true;
    }
    m_pDevice->StartStream();
    return MMSYSERR_NOERROR;
}

void CWaveInPort::CompleteHeadLocked()
{
    WAVEHDR* pHeader = m_queue.front();
    m_queue.pop_front();
    // The program may look at the flags at any moment (a driver sets them behind its back);
    // the release makes the recorded bytes visible to whoever sees WHDR_DONE.
    std::atomic_ref<DWORD> flags(pHeader->dwFlags);
    flags.store((flags.load(std::memory_order_relaxed) & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
    SignalEvent();
}

MMRESULT CWaveInPort::Stop()
{
    if (MMRESULT r = m_pDevice->Check(WaveCall::Stop))
        return r;
    m_pDevice->StopStream();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Audio that found no buffer queued belongs to the recording too: the program queues its
        // next buffer as soon as it has taken the last one, and that buffer takes it.
        m_queueChanged.wait_for(lock, std::chrono::milliseconds(kPendingWaitMs), [this] { return m_pending.empty(); });
        m_bStarted = false;
        // The buffer being filled is returned; empty ones stay queued.
        if (!m_queue.empty() && m_queue.front()->dwBytesRecorded > 0)
            CompleteHeadLocked();
    }
    m_queueChanged.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveInPort::Reset()
{
    if (MMRESULT r = m_pDevice->Check(WaveCall::Reset))
        return r;
    m_pDevice->StopStream();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStarted = false;
        m_nFramesSinceStart = 0;
        m_pending.clear();
        while (!m_queue.empty())
            CompleteHeadLocked();
    }
    m_queueChanged.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveInPort::Close()
{
    if (MMRESULT r = m_pDevice->Check(WaveCall::Close))
        return r;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_queue.empty())
            return WAVERR_STILLPLAYING;
        m_bStarted = false;
    }
    m_queueChanged.notify_all();
    m_pDevice->StopStream();
    m_pDevice->CloseStream();
    SignalEvent();
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveInPort::GetPosition(MMTIME* pTime)
{
    if (!pTime)
        return MMSYSERR_INVALPARAM;
    if (MMRESULT r = m_pDevice->Check(WaveCall::GetPosition))
        return r;
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (pTime->wType)
    {
    case TIME_SAMPLES:
        pTime->u.sample = static_cast<DWORD>(m_nFramesSinceStart);
        break;
    case TIME_BYTES:
        pTime->u.cb = static_cast<DWORD>(m_nFramesSinceStart * m_format.nBlockAlign);
        break;
    default:
        // Devices answer in a type they support; this one prefers samples.
        pTime->wType = TIME_SAMPLES;
        pTime->u.sample = static_cast<DWORD>(m_nFramesSinceStart);
        break;
    }
    return MMSYSERR_NOERROR;
}

void CWaveInPort::Deliver(const uint8_t* pData, size_t nBytes)
{
    bool bCompleted;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bStarted)
            return;
        m_nFramesSinceStart += nBytes / std::max<WORD>(1, m_format.nBlockAlign);
        bCompleted = DeliverLocked(pData, nBytes);
    }
    if (bCompleted)
        m_queueChanged.notify_all();
}

bool CWaveInPort::DeliverLocked(const uint8_t* pData, size_t nBytes)
{
    bool bCompleted = false;
    while (nBytes > 0 && !m_queue.empty())
    {
        WAVEHDR* pHeader = m_queue.front();
        size_t nSpace = pHeader->dwBufferLength - pHeader->dwBytesRecorded;
        size_t nTake = std::min(nSpace, nBytes);
        std::memcpy(pHeader->lpData + pHeader->dwBytesRecorded, pData, nTake);
        pHeader->dwBytesRecorded += static_cast<DWORD>(nTake);
        pData += nTake;
        nBytes -= nTake;
        if (pHeader->dwBytesRecorded == pHeader->dwBufferLength)
        {
            CompleteHeadLocked();
            bCompleted = true;
        }
    }
    // Held back for the next buffer, up to two seconds; beyond that it is lost.
    size_t nLimit = static_cast<size_t>(m_format.nAvgBytesPerSec) * 2;
    size_t nKeep = std::min(nBytes, nLimit > m_pending.size() ? nLimit - m_pending.size() : 0);
    nKeep -= nKeep % std::max<WORD>(1, m_format.nBlockAlign);
    m_pending.insert(m_pending.end(), pData, pData + nKeep);
    return bCompleted;
}

size_t CWaveInPort::SpaceInCurrentBuffer()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_queue.empty())
        return 0;
    return m_queue.front()->dwBufferLength - m_queue.front()->dwBytesRecorded;
}

bool CWaveInPort::WaitForQueuedBuffer(int nMilliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_queueChanged.wait_for(lock, std::chrono::milliseconds(nMilliseconds),
                                   [this] { return !m_queue.empty() || !m_bStarted; }) &&
           !m_queue.empty();
}

size_t CWaveInPort::QueuedBuffers()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}
}  // namespace winmm
