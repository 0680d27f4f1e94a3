#include "DeviceThread.h"

#include "Event.h"
#include "WaveIn.h"
#include "RecorderError.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace
{
const char* const APP_EXCEPTION = "Application exception";

std::string DeviceFailure(const std::string& reason)
{
    return "The recording stopped because the capture device failed (" + reason +
           "). What was recorded until then is kept.";
}
}  // namespace

// ---- CWaveBufferRing ----

CWaveBufferRing::CWaveBufferRing(uint32_t nCount) : m_nCount(nCount), m_headers(nCount)
{
    std::memset(m_headers.data(), 0, sizeof(WAVEHDR) * nCount);
}

void CWaveBufferRing::Arm(uint32_t i)
{
    WAVEHDR& h = m_headers[i];
    h.lpData = reinterpret_cast<LPSTR>(m_memory.data() + static_cast<size_t>(i) * m_nBytesPerBuffer);
    h.dwBufferLength = m_nBytesPerBuffer;
    m_pDevice->OnArmBuffer(h.lpData, m_nBytesPerBuffer);
    h.dwFlags = 0;
    h.dwLoops = 0;
    m_pDevice->PrepareHeader(&h);
    m_pDevice->AddBuffer(&h);
}

void CWaveBufferRing::Setup(CAsyncDevice* pDevice)
{
    m_pDevice = pDevice;
    // Nothing of an earlier recording may pass for a finished buffer of this one.
    m_nCurrent = 0;
    for (WAVEHDR& h : m_headers)
    {
        h.dwFlags = 0;
        h.dwBytesRecorded = 0;
    }
    const WAVEFORMATEX& f = pDevice->Format();
    m_wBitsPerSample = f.wBitsPerSample;
    m_nChannels = f.nChannels;
    m_nFramesPerBuffer = f.nSamplesPerSec;
    m_nBytesPerBuffer = static_cast<uint32_t>((f.wBitsPerSample * f.nChannels) / 8) * f.nSamplesPerSec;
    m_memory.resize(static_cast<size_t>(m_nCount) * m_nBytesPerBuffer);
    m_nDisplaySamplesPerBuffer = f.nChannels ? f.nSamplesPerSec / f.nChannels : 0;
    if (m_nCount > 1)
        for (uint32_t i = 0; i + 1 < m_nCount; ++i)
            Arm(i);
    m_nCurrent = 0;
}

namespace
{
// The device sets WHDR_DONE from its own thread; reading it with acquire also makes the
// buffer's bytes visible.
DWORD HeaderFlags(const WAVEHDR& h)
{
    return std::atomic_ref<DWORD>(const_cast<DWORD&>(h.dwFlags)).load(std::memory_order_acquire);
}
}  // namespace

bool CWaveBufferRing::IsCurrentDone() const
{
    return (HeaderFlags(m_headers[m_nCurrent]) & WHDR_DONE) != 0;
}

void CWaveBufferRing::Recycle()
{
    m_pDevice->UnprepareHeader(&m_headers[m_nCurrent]);
    uint32_t spare = m_nCurrent == 0 ? m_nCount - 1 : m_nCurrent - 1;
    Arm(spare);
}

void CWaveBufferRing::Collect(std::vector<int32_t>& display, std::vector<uint8_t>& bytes)
{
    // A buffer the device returned at a stop holds less than its length: only what it recorded.
    const WAVEHDR& h = m_headers[m_nCurrent];
    const uint32_t nAlign = std::max(1u, static_cast<uint32_t>(m_wBitsPerSample * m_nChannels / 8));
    const uint32_t nBytes = std::min<uint32_t>(h.dwBytesRecorded, m_nBytesPerBuffer) / nAlign * nAlign;
    Recycle();
    Take(display, bytes, nBytes);
}

bool CWaveBufferRing::CollectLast(std::vector<int32_t>& display, std::vector<uint8_t>& bytes)
{
    const WAVEHDR& h = m_headers[m_nCurrent];
    const uint32_t nAlign = std::max(1u, static_cast<uint32_t>(m_wBitsPerSample * m_nChannels / 8));
    if (!(HeaderFlags(h) & WHDR_DONE) || m_nBytesPerBuffer == 0)
        return false;
    const uint32_t nBytes = std::min<uint32_t>(h.dwBytesRecorded, m_nBytesPerBuffer) / nAlign * nAlign;
    if (nBytes == 0)
        return false;
    Take(display, bytes, nBytes);
    return true;
}

void CWaveBufferRing::Take(std::vector<int32_t>& display, std::vector<uint8_t>& bytes, uint32_t nBytes)
{
    const uint8_t* pData = reinterpret_cast<const uint8_t*>(m_headers[m_nCurrent].lpData);
    bytes.resize(nBytes);
    std::memcpy(bytes.data(), pData, nBytes);

    // The display copy covers the first display-samples-per-buffer frames, or all of a short buffer.
    const uint32_t nFrameBytes = std::max(1u, static_cast<uint32_t>(m_wBitsPerSample * m_nChannels / 8));
    const uint32_t n = std::min(m_nDisplaySamplesPerBuffer, nBytes / nFrameBytes);
    display.resize(n);
    if (m_wBitsPerSample == 8)
    {
        if (m_nChannels == 1)
            for (uint32_t i = 0; i < n; ++i)
                display[i] = (static_cast<int32_t>(pData[i]) - 128) * 64;
        else
            for (uint32_t i = 0; i < n; ++i)
                display[i] = (static_cast<int32_t>(pData[2 * i]) + pData[2 * i + 1] - 256) * 128;
    }
    else if (m_wBitsPerSample == 16)
    {
        auto sample = [pData](size_t k) {
            int16_t s;
            std::memcpy(&s, pData + 2 * k, 2);
            return static_cast<int32_t>(s);
        };
        if (m_nChannels == 1)
            for (uint32_t i = 0; i < n; ++i)
                display[i] = sample(i);
        else
            for (uint32_t i = 0; i < n; ++i)
                display[i] = (sample(2 * i) + sample(2 * i + 1)) / 2;
    }
    else
        throw CRecorderError("Unsupported format");
    m_nCurrent = (m_nCurrent + 1) % static_cast<int>(m_nCount);
}

// ---- CDeviceThread ----

CDeviceThread::CDeviceThread()
    : m_hEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_hThreadEnded(CreateEventA(nullptr, TRUE, TRUE, nullptr)),
      m_hPauseHandedOn(CreateEventA(nullptr, TRUE, TRUE, nullptr)),
      m_ring(2)
{
    ResetEvent(m_hEvent);
}

CDeviceThread::~CDeviceThread()
{
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        // The owner has stopped the capture and may have freed the receivers already.
        m_pReceiver = nullptr;
        m_pNextReceiver = nullptr;
        if (m_thread.joinable())
            m_bStop = true;
        // A device still capturing would go on filling the ring this object frees.
        // (Freeing the device list has closed the devices already.)
        if (CWaveIn* pDevice = FindListedDevice(m_nCaptureDevice))
        {
            try
            {
                pDevice->Reset();
                pDevice->Close();
            }
            catch (...)
            {
            }
        }
    }
    SetEvent(m_hEvent);
    if (m_thread.joinable())
        m_thread.join();
    CloseHandle(m_hPauseHandedOn);
    CloseHandle(m_hThreadEnded);
    CloseHandle(m_hEvent);
}

uint32_t CDeviceThread::ThreadProc(void* pParam)
{
    if (pParam)
        static_cast<CDeviceThread*>(pParam)->Run();
    return 0;
}

bool CDeviceThread::WaitForCaptureEnd(uint32_t nMilliseconds)
{
    if (!m_thread.joinable())
        return true;
    if (WaitForSingleObject(m_hThreadEnded, nMilliseconds) != WAIT_OBJECT_0)
        return false;
    m_thread.join();
    return true;
}

bool CDeviceThread::IsThreadRunning()
{
    return m_thread.joinable() && WaitForSingleObject(m_hThreadEnded, 0) != WAIT_OBJECT_0;
}

void CDeviceThread::JoinFinishedThread()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        // A stopped recording still finishes its receiver; a thread left waiting by an
        // earlier failed start (never stopped) ends without touching that receiver,
        // which its owner may have replaced.
        if (!m_bStop && IsThreadRunning())
        {
            m_pReceiver = nullptr;
            m_pNextReceiver = nullptr;
            m_bStop = true;
        }
    }
    SetEvent(m_hEvent);
    m_thread.join();
}

CaptureEnding CDeviceThread::Ending()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    return m_ending;
}

std::string CDeviceThread::StartCapture(IReceiver* pReceiver, uint64_t nFrameLimit,
                                        const SilenceGateOptions& skipSilence)
{
    CWaveIn* pDevice = GetCurrentDevice();
    if (!pDevice || !pDevice->HasFormat())
        return "Device error.";
    JoinFinishedThread();

    std::string error;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        try
        {
            m_pReceiver = pReceiver;
            // A stop requested while no thread ran must not end this new recording.
            m_bStop = false;
            m_nFrameLimit = nFrameLimit;
            m_bLimitReached = false;
            m_bPaused = false;
            m_bPauseHandOn = false;
            m_ending = CaptureEnding();
            m_nFileFrames = 0;
            m_pNextReceiver = nullptr;
            m_finished.clear();
            // Stop acts on the device this recording runs on, whatever is current later.
            m_nCaptureDevice = pDevice->Serial();
            m_captureFormat = pDevice->Format();
            m_gate.Start(skipSilence, m_captureFormat);
            m_bToldWaiting = false;
            pDevice->Open(&m_hEvent);
            ResetEvent(m_hThreadEnded);
            m_thread = std::thread([this] { ThreadProc(this); });
            m_ring.Setup(pDevice);
            pDevice->Start();
            // The view says so from the start, not a second later with the first buffer.
            TellWaiting();
        }
        catch (const CRecorderError& failure)
        {
            error = failure.what();
        }
        catch (...)
        {
            error = APP_EXCEPTION;
        }
        if (!error.empty())
        {
            // Nothing of a start that failed part way may go on: the thread ends without
            // touching the receiver or the view, and the device is closed again.
            m_pReceiver = nullptr;
            m_bStop = true;
            try
            {
                pDevice->Reset();
                pDevice->Close();
            }
            catch (...)
            {
            }
        }
    }
    if (!error.empty() && m_thread.joinable())
    {
        SetEvent(m_hEvent);
        m_thread.join();
    }
    return error;
}

std::string CDeviceThread::StopCapture()
{
    // What the device captured up to now reaches the recording first: the device stops without
    // the global lock held, so the capture thread can still take a buffer that fills meanwhile
    // and queue the next one for the rest.
    CWaveIn* pDevice = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        if (!m_bStop && IsThreadRunning())
            pDevice = FindListedDevice(m_nCaptureDevice);
    }
    if (pDevice)
        pDevice->StopInput();
    std::string error;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        try
        {
            m_bStop = true;
            if (CWaveIn* pListed = FindListedDevice(m_nCaptureDevice))
            {
                pListed->Reset();
                pListed->Close();
            }
        }
        catch (const CRecorderError& failure)
        {
            error = failure.what();
        }
        catch (...)
        {
            error = APP_EXCEPTION;
        }
    }
    // The reset and close wake the capture thread, but a device left in a failed state
    // does neither: wake it here too, so the stop step always runs.
    SetEvent(m_hEvent);
    return error;
}

bool CDeviceThread::Pause()
{
    CWaveIn* pDevice = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        if (m_bStop || m_bPaused || m_bLimitReached || !m_pReceiver || !IsThreadRunning())
            return false;
        pDevice = FindListedDevice(m_nCaptureDevice);
        if (!pDevice)
            return false;
        m_bPaused = true;
        ResetEvent(m_hPauseHandedOn);
    }
    // As at a stop, without the global lock: the device returns the buffer being filled with
    // what it holds, and the capture thread may still take a buffer that fills meanwhile.
    pDevice->StopInput();
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        m_bPauseHandOn = true;
    }
    SetEvent(m_hEvent);
    // Once the receiver has written that buffer the file holds everything before the pause,
    // so a process killed while paused loses none of it.
    WaitForSingleObject(m_hPauseHandedOn, 5000);
    return true;
}

bool CDeviceThread::Resume()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    if (!m_bPaused || m_bStop || !IsThreadRunning())
        return false;
    CWaveIn* pDevice = FindListedDevice(m_nCaptureDevice);
    if (!pDevice)
        return false;
    m_bPaused = false;
    // The buffers queued before the pause take the audio from here on.
    pDevice->Start();
    return true;
}

bool CDeviceThread::IsPaused()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    return m_bPaused && !m_bStop && IsThreadRunning();
}

uint64_t CDeviceThread::CapturedFrames()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    return m_ending.nFrames;
}

void CDeviceThread::HandOn(uint32_t nBytes)
{
    const WAVEFORMATEX& f = m_captureFormat;
    const uint32_t nAlign = std::max<uint32_t>(1, f.nBlockAlign);
    // What goes to the file: all of it, or what the silence gate lets through.
    const uint8_t* pWrite = m_bytes.data();
    uint32_t nWrite = nBytes;
    if (m_gate.IsOn())
    {
        m_gate.Pass(m_bytes.data(), nBytes, m_gated);
        pWrite = m_gated.data();
        nWrite = static_cast<uint32_t>(m_gated.size());
        if (m_gate.IsWaiting() || nWrite < nBytes)
            m_ending.bSilenceSkipped = true;
    }
    if (m_nFrameLimit > 0)
    {
        const uint64_t nLeft = m_nFrameLimit > m_ending.nFrames ? m_nFrameLimit - m_ending.nFrames : 0;
        nWrite = static_cast<uint32_t>(std::min<uint64_t>(nWrite, nLeft * nAlign));
        if (!m_gate.IsOn())
            nBytes = nWrite;
        m_display.resize(std::min<size_t>(m_display.size(), nBytes / nAlign));
    }
    uint32_t nWritten = 0;
    if (m_pReceiver && nWrite > 0)
        nWritten = WriteSplit(pWrite, nWrite, nAlign);
    m_ending.nFrames += nWrite / nAlign;
    // The meter and the trace show the input, also while nothing of it is written.
    if (IWaveformView* pView = GetWaveformView())
    {
        pView->AddFrames(m_bytes.data(), nBytes, f.wBitsPerSample, f.nChannels, f.nSamplesPerSec);
        pView->AddSamples(m_display, nWritten);
    }
    TellWaiting();
    if (m_nFrameLimit > 0 && m_ending.nFrames >= m_nFrameLimit)
        m_bLimitReached = true;
}

void CDeviceThread::TellWaiting()
{
    if (m_gate.IsWaiting() == m_bToldWaiting)
        return;
    m_bToldWaiting = m_gate.IsWaiting();
    const DWORD nRate = m_captureFormat.nSamplesPerSec;
    if (IWaveformView* pView = GetWaveformView())
        pView->OnWaitingForSound(m_bToldWaiting, nRate ? static_cast<uint32_t>(m_nFileFrames * 1000u / nRate) : 0);
}

uint32_t CDeviceThread::WriteSplit(const uint8_t* pData, uint32_t nBytes, uint32_t nAlign)
{
    const uint64_t nFrames = nBytes / nAlign;
    const uint64_t nRoom = m_nFileFrames < m_nSplitFrames ? m_nSplitFrames - m_nFileFrames : 0;
    // Without the next file's receiver the current file goes on past its length rather than
    // drop anything: the cut comes with the first buffer after the receiver is handed over.
    if (m_nSplitFrames == 0 || nFrames <= nRoom || !m_pNextReceiver)
    {
        const uint32_t nWritten = m_pReceiver->Write(pData, nBytes);
        m_nFileFrames += nFrames;
        return nWritten;
    }
    const uint32_t nHead = static_cast<uint32_t>(nRoom * nAlign);
    uint32_t nWritten = nHead ? m_pReceiver->Write(pData, nHead) : 0;
    m_nFileFrames += nRoom;
    // A last part that does not fit throws, and the recording ends with this file as after a
    // failed write; the next file is never begun.
    m_pReceiver->Finish();
    const DWORD nRate = m_captureFormat.nSamplesPerSec;
    m_finished.push_back({m_pReceiver, m_nFileFrames, nRate ? static_cast<uint32_t>(m_nFileFrames * 1000u / nRate) : 0});
    m_pReceiver = m_pNextReceiver;
    m_pNextReceiver = nullptr;
    m_nFileFrames = 0;
    // The rest of the buffer opens the next file, which may take more than its length when the
    // split is shorter than a buffer: only one receiver waits at a time.
    if (nBytes > nHead)
    {
        nWritten += m_pReceiver->Write(pData + nHead, nBytes - nHead);
        m_nFileFrames = nFrames - nRoom;
    }
    if (IWaveformView* pView = GetWaveformView())
        pView->OnFileFinished();
    return nWritten;
}

void CDeviceThread::SplitEvery(uint64_t nFrames)
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    m_nSplitFrames = nFrames;
}

bool CDeviceThread::QueueNextReceiver(IReceiver* pReceiver)
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    if (m_pNextReceiver || !m_pReceiver || m_bStop || m_ending.bEnded || !IsThreadRunning())
        return false;
    m_pNextReceiver = pReceiver;
    return true;
}

IReceiver* CDeviceThread::QueuedReceiver()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    return m_pNextReceiver;
}

std::vector<FinishedFile> CDeviceThread::TakeFinishedFiles()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    std::vector<FinishedFile> files;
    files.swap(m_finished);
    return files;
}

void CDeviceThread::EndRecording()
{
    if (m_pReceiver)
    {
        try
        {
            m_pReceiver->Finish();
        }
        catch (const CRecorderError& ended)
        {
            // The file's last part did not fit: what it holds is whole, and the user hears why it is short.
            if (!m_ending.bFailed)
            {
                m_ending.bFailed = true;
                m_ending.failure = ended.what();
                m_ending.nothingKept = ended.NothingKept();
            }
        }
        catch (...)
        {
            // The file stays as the last write left it, which every receiver keeps decodable.
        }
        m_ending.nKeptMilliseconds = m_pReceiver->KeptMilliseconds();
    }
    const DWORD nRate = m_captureFormat.nSamplesPerSec;
    m_ending.nMilliseconds = nRate ? static_cast<uint32_t>(m_nFileFrames * 1000u / nRate) : 0;
    // After a failed write the file holds what the receiver kept, part of the failed buffer included.
    const uint32_t nShown = m_ending.bFailed && m_pReceiver ? m_ending.nKeptMilliseconds : m_ending.nMilliseconds;
    m_pReceiver = nullptr;
    // Ended before anyone hears of it: the main thread may look as soon as the view tells it.
    m_ending.bEnded = true;
    if (IWaveformView* pView = GetWaveformView())
        pView->OnCaptureStopped(nShown);
}

void CDeviceThread::Run()
{
    try
    {
        for (;;)
        {
            WaitForSingleObject(m_hEvent, INFINITE);
            std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
            if (m_bStop)
            {
                m_bStop = false;
                // A start that failed part way: end without a word to anyone.
                if (!m_pReceiver)
                    break;
                // What the device captured up to the stop, the partly filled buffer the reset
                // returned included, belongs to the recording.
                if (!m_bLimitReached && m_ring.CollectLast(m_display, m_bytes))
                    HandOn(static_cast<uint32_t>(m_bytes.size()));
                EndRecording();
                break;
            }
            if (m_ring.IsCurrentDone())
            {
                m_ring.Collect(m_display, m_bytes);
                HandOn(static_cast<uint32_t>(m_bytes.size()));
                if (m_bLimitReached)
                {
                    // The recording is as long as it was asked to be; the owner stops the device.
                    EndRecording();
                    break;
                }
            }
            if (m_bPauseHandOn && !m_ring.IsCurrentDone())
            {
                m_bPauseHandOn = false;
                SetEvent(m_hPauseHandedOn);
            }
        }
    }
    catch (const CRecorderError& error)
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        m_ending.bFailed = true;
        if (error.EndsRecording())
        {
            // The receiver can take no more: complete its file with what it holds, and end
            // the recording as if stopped. The device stays open until the owner stops.
            m_ending.failure = error.what();
            m_ending.nothingKept = error.NothingKept();
        }
        else
        {
            // The device (or a receiver's library) failed: the cause is named.
            m_ending.failure = DeviceFailure(error.what());
            m_ending.nothingKept = std::string("The capture device failed (") + error.what() + "): nothing was recorded.";
        }
        EndRecording();
    }
    catch (...)
    {
        const std::string reason = APP_EXCEPTION;
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        m_ending.bFailed = true;
        m_ending.failure = DeviceFailure(reason);
        m_ending.nothingKept = "The capture device failed (" + reason + "): nothing was recorded.";
        EndRecording();
    }
    // A pause waiting for its buffer waits no longer for a thread that is gone.
    SetEvent(m_hPauseHandedOn);
    SetEvent(m_hThreadEnded);
}
