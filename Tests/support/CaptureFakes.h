// Fakes for capture tests: a receiver and a view that record what the capture
// thread hands them, and a device that lets a test fill buffers by hand.
#pragma once
#include "DeviceThread.h"
#include "Event.h"

#include <condition_variable>
#include <mutex>
#include <vector>

class CFakeReceiver final : public IReceiver
{
public:
    uint32_t Write(const uint8_t* pData, uint32_t nSize) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        sizes.push_back(nSize);
        data.insert(data.end(), pData, pData + nSize);
        if (endOnWrite == static_cast<int>(sizes.size()))
            throw CRecorderError::Ended("The disk is full.", "Nothing was saved.");
        return nSize;
    }
    uint32_t KeptMilliseconds() const override { return keptMilliseconds; }
    void Finish() override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++finishes;
        inFinish = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !holdFinish; });
        inFinish = false;
    }
    void ReleaseFinish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        holdFinish = false;
        m_changed.notify_all();
    }
    bool WaitUntilInFinish()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return inFinish; });
    }

    std::vector<uint32_t> sizes;
    std::vector<uint8_t> data;
    int finishes = 0;
    int endOnWrite = 0;
    uint32_t keptMilliseconds = 0;
    bool holdFinish = false;
    bool inFinish = false;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

class CFakeView : public IWaveformView
{
public:
    void AddSamples(const std::vector<int32_t>& samples, uint32_t nBytesWritten) override
    {
        displaySizes.push_back(samples.size());
        shownSizes.push_back(nBytesWritten);
    }
    void OnCaptureStopped(uint32_t nMilliseconds) override { stoppedMilliseconds.push_back(nMilliseconds); }
    std::vector<size_t> displaySizes;
    std::vector<uint32_t> shownSizes;  // the file sizes the view was told
    std::vector<uint32_t> stoppedMilliseconds;
};

// A device whose buffers the test fills and completes itself.
class CHandDevice : public CAsyncDevice
{
public:
    CHandDevice(WORD nChannels, DWORD nRate, WORD nBits)
        : m_format{WAVE_FORMAT_PCM, nChannels, nRate, nChannels * nBits / 8u * nRate, WORD(nChannels * nBits / 8), nBits, 0}
    {
    }
    void Open(HANDLE*) override {}
    void Close() override {}
    void Start() override {}
    void Stop() override {}
    void PrepareHeader(WAVEHDR* pHeader) override { pHeader->dwFlags |= WHDR_PREPARED; }
    void UnprepareHeader(WAVEHDR* pHeader) override { pHeader->dwFlags &= ~WHDR_PREPARED; }
    void AddBuffer(WAVEHDR* pHeader) override
    {
        pHeader->dwFlags |= WHDR_INQUEUE;
        queued.push_back(pHeader);
    }
    const WAVEFORMATEX& Format() const override { return m_format; }

    // Fills the oldest queued buffer with the bytes (repeated) and marks it done.
    void Complete(const std::vector<uint8_t>& pattern)
    {
        WAVEHDR* h = queued.front();
        queued.erase(queued.begin());
        for (DWORD i = 0; i < h->dwBufferLength; ++i)
            h->lpData[i] = static_cast<char>(pattern[i % pattern.size()]);
        h->dwBytesRecorded = h->dwBufferLength;
        h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    }

    std::vector<WAVEHDR*> queued;
    WAVEFORMATEX m_format;
};
