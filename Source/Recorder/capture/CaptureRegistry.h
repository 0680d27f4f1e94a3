// What the capture engine shares process-wide: the global device lock, the
// current device and the live view of a recording. Its own file, so the device
// thread and the wave-input device both use it without including each other.
//
// Threads: any; every accessor takes the global device lock, which is taken
// before any device, mixer or view lock.
#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

class CWaveIn;

// The live view of a recording. Called on the capture thread, under the global lock.
class IWaveformView
{
public:
    // One buffer's display samples (a mono copy; the last buffer of a recording may be
    // short) and the bytes its write added to the file.
    virtual void AddSamples(const std::vector<int32_t>& samples, uint32_t nBytesWritten) = 0;
    // The same buffer as captured (interleaved PCM), just before AddSamples, for a level meter.
    virtual void AddFrames(const uint8_t* /*pData*/, uint32_t /*nBytes*/, int /*nBitsPerSample*/, int /*nChannels*/,
                           uint32_t /*nSampleRate*/)
    {
    }
    // Silence is being skipped (bWaiting: nothing is written until sound returns) or written
    // again; the file holds nMilliseconds of audio. Also called on the main thread as a capture
    // starts, with the global lock held.
    virtual void OnWaitingForSound(bool /*bWaiting*/, uint32_t /*nMilliseconds*/) {}
    // The capture has ended, however it ended; the file holds nMilliseconds of audio.
    virtual void OnCaptureStopped(uint32_t nMilliseconds) = 0;
    // A split recording's file was finished and the capture went on into the next; the owner
    // takes the finished one from CDeviceThread::TakeFinishedFiles and hands over another.
    virtual void OnFileFinished() {}

protected:
    ~IWaveformView() = default;
};

// Process-wide capture state. The global lock is taken before any device, mixer or view lock.
std::recursive_mutex& GlobalDeviceLock();
CWaveIn* GetCurrentDevice();
void SetCurrentDevice(CWaveIn* pDevice);
IWaveformView* GetWaveformView();
void SetWaveformView(IWaveformView* pView);
