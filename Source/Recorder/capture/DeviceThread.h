// The capture worker: keeps the current device fed with one-second buffers and
// hands every filled buffer to the receiver and to the waveform view. At a stop
// the partly filled buffer goes on too, so a recording holds everything up to
// the stop.
//
// A pause stops the device and hands on what it captured, so the file is up to
// date while paused; a resume starts the device again. The receiver never hears
// of it: the file is one recording without the paused stretch.
//
// With silence skipped, each buffer passes the silence gate on its way to the
// receiver; the view still sees all of it.
//
// Threads: StartCapture, StopCapture, Pause, Resume, WaitForCaptureEnd, Ending
// and the destructor run on the main thread; Run is the capture thread. Every call into
// the receiver and the view happens on the capture thread with the global
// device lock held, so those consumers must never wait for the main thread.
// Nothing here shows a message: failures go back to the caller (start, stop)
// or into the recording's ending (the capture thread).
#pragma once
#include "AsyncDevice.h"
#include "CaptureRegistry.h"
#include "IReceiver.h"
#include "SilenceGate.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CWaveBufferRing
{
public:
    explicit CWaveBufferRing(uint32_t nCount);

    void Setup(CAsyncDevice* pDevice);
    bool IsCurrentDone() const;
    void Recycle();
    void Collect(std::vector<int32_t>& display, std::vector<uint8_t>& bytes);
    // At a stop: takes what the current buffer holds (whole frames), without queuing
    // another. False when it holds nothing.
    bool CollectLast(std::vector<int32_t>& display, std::vector<uint8_t>& bytes);

    uint32_t Count() const { return m_nCount; }
    int Current() const { return m_nCurrent; }
    const WAVEHDR& Header(uint32_t i) const { return m_headers[i]; }
    uint32_t BytesPerBuffer() const { return m_nBytesPerBuffer; }
    uint32_t DisplaySamplesPerBuffer() const { return m_nDisplaySamplesPerBuffer; }
    const std::vector<uint8_t>& Memory() const { return m_memory; }

private:
    void Arm(uint32_t i);
    void Take(std::vector<int32_t>& display, std::vector<uint8_t>& bytes, uint32_t nBytes);

    CAsyncDevice* m_pDevice = nullptr;
    const uint32_t m_nCount;
    std::vector<uint8_t> m_memory;
    std::vector<WAVEHDR> m_headers;
    int m_nCurrent = 0;
    uint32_t m_nFramesPerBuffer = 0;
    uint32_t m_nBytesPerBuffer = 0;
    uint32_t m_nDisplaySamplesPerBuffer = 0;
    WORD m_wBitsPerSample = 0;
    WORD m_nChannels = 0;
};

// How a recording's capture ended, known once the capture thread has ended.
struct CaptureEnding
{
    uint64_t nFrames = 0;        // frames handed to the receivers
    uint32_t nMilliseconds = 0;  // what the last receiver's frames last (all of them but for a split recording)
    uint32_t nKeptMilliseconds = 0;  // what the receiver says its file holds (after a failure)
    bool bEnded = false;         // the capture thread has finished the receiver and told the view
    bool bFailed = false;        // ended by a failure, not by a stop or the frame limit
    bool bSilenceSkipped = false;  // the silence gate held back audio
    std::string failure;         // for the user when the file keeps what was written
    std::string nothingKept;     // for the user when the file holds no audio
};

// A file of a split recording that the capture thread finished when it went on into the next.
struct FinishedFile
{
    IReceiver* pReceiver = nullptr;  // finished; the capture thread is done with it
    uint64_t nFrames = 0;
    uint32_t nMilliseconds = 0;
};

class CDeviceThread
{
public:
    CDeviceThread();
    ~CDeviceThread();
    CDeviceThread(const CDeviceThread&) = delete;
    CDeviceThread& operator=(const CDeviceThread&) = delete;

    // Starts a recording on the current device into pReceiver. With a frame limit the
    // capture ends by itself once that many frames are handed on (the owner still stops
    // the device). With silence skipped, only what is written counts, towards the limit too.
    // Returns the failure's text, empty when the capture runs.
    std::string StartCapture(IReceiver* pReceiver, uint64_t nFrameLimit = 0,
                             const SilenceGateOptions& skipSilence = SilenceGateOptions());
    // Asks the capture to end; returns once the device is closed. The capture thread
    // then hands on what the device captured up to now, finishes the receiver and tells
    // the view. Returns the text of a failure to close the device, empty otherwise.
    std::string StopCapture();
    // Waits up to nMilliseconds for the capture thread to end (it has then returned from
    // the receiver's Finish). True when no capture thread is left. Never call it with the
    // global device lock held.
    bool WaitForCaptureEnd(uint32_t nMilliseconds = INFINITE);
    bool IsThreadRunning();
    // Stops the device and returns once the receiver has what it captured up to now. False
    // (and nothing done) when no capture runs or it is paused already.
    bool Pause();
    // Starts the device again after a pause. False when the capture is not paused.
    bool Resume();
    bool IsPaused();
    // Frames handed to the receiver so far.
    uint64_t CapturedFrames();
    // How the latest recording ended; complete once WaitForCaptureEnd returned true.
    CaptureEnding Ending();

    // Splitting a recording into files of nFrames each (0: one file). Set before StartCapture;
    // it holds for every later recording until set again.
    void SplitEvery(uint64_t nFrames);
    // Hands over the receiver of the next file, made and prepared on the main thread. Once the
    // current file holds its frames the capture thread finishes it at that exact frame, goes on
    // into this one and tells the view (IWaveformView::OnFileFinished). False when no capture
    // runs or one receiver waits already; the caller keeps it then.
    bool QueueNextReceiver(IReceiver* pReceiver);
    // The next receiver that was handed over and not yet gone on into (null when none); the
    // owner frees it once the capture has ended.
    IReceiver* QueuedReceiver();
    // The files the capture thread finished since the last call, in their order.
    std::vector<FinishedFile> TakeFinishedFiles();

    const CWaveBufferRing& Ring() const { return m_ring; }

    static uint32_t ThreadProc(void* pParam);

private:
    void Run();
    void JoinFinishedThread();
    // Hands one collected buffer (or its first part) to the receiver and the view.
    void HandOn(uint32_t nBytes);
    // Tells the view when the silence gate began or stopped waiting for sound.
    void TellWaiting();
    // Writes into the receiver; at the split point finishes it and goes on into the next.
    uint32_t WriteSplit(const uint8_t* pData, uint32_t nBytes, uint32_t nAlign);
    void EndRecording();

    IReceiver* m_pReceiver = nullptr;
    uint64_t m_nCaptureDevice = 0;  // the serial of the latest recording's device (guarded by the global lock)
    WAVEFORMATEX m_captureFormat{};  // its capture format, as the recording started
    bool m_bStop = false;  // guarded by the global device lock
    HANDLE m_hEvent;
    std::thread m_thread;
    HANDLE m_hThreadEnded;  // manual-reset; set as the capture thread returns
    HANDLE m_hPauseHandedOn;  // manual-reset; set once a pause's last buffer went on (or the thread ended)
    CWaveBufferRing m_ring;
    std::vector<int32_t> m_display;
    std::vector<uint8_t> m_bytes;
    CSilenceGate m_gate;
    std::vector<uint8_t> m_gated;  // what the gate lets through of m_bytes
    // Guarded by the global device lock.
    uint64_t m_nFrameLimit = 0;
    bool m_bLimitReached = false;
    bool m_bPaused = false;
    bool m_bPauseHandOn = false;  // a pause waits for the buffer its stop returned
    bool m_bToldWaiting = false;  // what the view last heard of the gate
    uint64_t m_nSplitFrames = 0;     // frames per file; 0: one file
    uint64_t m_nFileFrames = 0;      // frames handed to the current receiver
    IReceiver* m_pNextReceiver = nullptr;
    std::vector<FinishedFile> m_finished;
    CaptureEnding m_ending;
};
