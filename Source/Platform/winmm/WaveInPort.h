// One open wave-input handle of the winmm stand-in: the queue of buffers the
// program added, and the Windows rules around it.
//
// Threads: the program calls the waveIn* functions (any thread); the backend
// calls Deliver from its own thread. A completed buffer gets WHDR_DONE and its
// dwBytesRecorded, leaves the queue, and the CALLBACK_EVENT is signalled.
#pragma once
#include "WaveBackend.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>
#include <mutex>

namespace winmm
{
class CWaveInPort
{
public:
    CWaveInPort(std::shared_ptr<IWaveInDevice> pDevice, const WAVEFORMATEX& format, HANDLE hEvent);

    MMRESULT Prepare(WAVEHDR* pHeader);
    MMRESULT Unprepare(WAVEHDR* pHeader);
    MMRESULT AddBuffer(WAVEHDR* pHeader);
    MMRESULT Start();
    MMRESULT Stop();
    MMRESULT Reset();
    // Fails with WAVERR_STILLPLAYING while buffers are queued; the caller then keeps the handle.
    MMRESULT Close();
    MMRESULT GetPosition(MMTIME* pTime);

    IWaveInDevice& Device() { return *m_pDevice; }
    const WAVEFORMATEX& Format() const { return m_format; }
    void SignalEvent();

    // Backend side. Takes whole frames. Audio finding no queued buffer waits for the next
    // one, up to two seconds of it, as in a driver's own buffer; the rest is lost.
    void Deliver(const uint8_t* pData, size_t nBytes);
    // Bytes the buffer at the head of the queue can still take (0 when none is queued).
    size_t SpaceInCurrentBuffer();
    // Waits until a buffer is queued, the capture stops or the time runs out.
    bool WaitForQueuedBuffer(int nMilliseconds);
    // Number of buffers in the queue.
    size_t QueuedBuffers();

private:
    void CompleteHeadLocked();
    bool DeliverLocked(const uint8_t* pData, size_t nBytes);

    std::shared_ptr<IWaveInDevice> m_pDevice;
    const WAVEFORMATEX m_format;
    HANDLE m_hEvent;
    std::mutex m_mutex;
    std::condition_variable m_queueChanged;
    std::deque<WAVEHDR*> m_queue;
    std::deque<uint8_t> m_pending;  // audio that found no buffer, up to two seconds
    bool m_bStarted = false;
    uint64_t m_nFramesSinceStart = 0;
};
}  // namespace winmm
