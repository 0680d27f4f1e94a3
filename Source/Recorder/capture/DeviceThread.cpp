#include "DeviceThread.h"

#include "Event.h"
#include "MessageBox.h"
#include "WaveIn.h"

#include <atomic>
#include <cstring>

namespace
{
const char* const APP_EXCEPTION = "Application exception";
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
    Recycle();
    Take(display, bytes);
}

bool CWaveBufferRing::CollectLast(std::vector<int32_t>& display, std::vector<uint8_t>& bytes)
{
    const WAVEHDR& h = m_headers[m_nCurrent];
    if (!(HeaderFlags(h) & WHDR_DONE) || h.dwBytesRecorded < m_nBytesPerBuffer || m_nBytesPerBuffer == 0)
        return false;
    Take(display, bytes);
    return true;
}

void CWaveBufferRing::Take(std::vector<int32_t>& display, std::vector<uint8_t>& bytes)
{
    const uint8_t* pData = reinterpret_cast<const uint8_t*>(m_headers[m_nCurrent].lpData);
    bytes.resize(m_nBytesPerBuffer);
    std::memcpy(bytes.data(), pData, m_nBytesPerBuffer);

    display.resize(m_nDisplaySamplesPerBuffer);
    const uint32_t n = m_nDisplaySamplesPerBuffer;
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
        throw "Unsupported format";
    m_nCurrent = (m_nCurrent + 1) % static_cast<int>(m_nCount);
}

// ---- CDeviceThread ----

CDeviceThread::CDeviceThread()
    : m_hEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_hThreadEnded(CreateEventA(nullptr, TRUE, TRUE, nullptr)),
      m_ring(2)
{
    ResetEvent(m_hEvent);
}

CDeviceThread::~CDeviceThread()
{
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        // The owner has stopped the capture and may have freed the receiver already.
        m_pReceiver = nullptr;
        if (m_thread.joinable())
            m_bStop = true;
        // A device still capturing would go on filling the ring this object frees.
        // (Freeing the device list has closed the devices already.)
        if (IsListedDevice(m_pCaptureDevice))
        {
            try
            {
                m_pCaptureDevice->Reset();
                m_pCaptureDevice->Close();
            }
            catch (...)
            {
            }
        }
    }
    SetEvent(m_hEvent);
    if (m_thread.joinable())
        m_thread.join();
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
            m_bStop = true;
        }
    }
    SetEvent(m_hEvent);
    m_thread.join();
}

void CDeviceThread::StartCapture(IReceiver* pReceiver)
{
    CWaveIn* pDevice = GetCurrentDevice();
    if (!pDevice || !pDevice->HasFormat())
        return;
    JoinFinishedThread();

    const char* pszError = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        try
        {
            m_pReceiver = pReceiver;
            // A stop requested while no thread ran must not end this new recording.
            m_bStop = false;
            // Stop acts on the device this recording runs on, whatever is current later.
            m_pCaptureDevice = pDevice;
            pDevice->Open(&m_hEvent);
            ResetEvent(m_hThreadEnded);
            m_thread = std::thread([this] { ThreadProc(this); });
            m_ring.Setup(pDevice);
            pDevice->Start();
        }
        catch (const char* pszText)
        {
            pszError = pszText;
        }
        catch (...)
        {
            pszError = APP_EXCEPTION;
        }
    }
    // Shown after the lock is left, so the capture thread is never held up by a dialog.
    if (pszError)
        ShowAppError(pszError);
}

void CDeviceThread::StopCapture()
{
    const char* pszError = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        try
        {
            m_bStop = true;
            if (IsListedDevice(m_pCaptureDevice))
            {
                m_pCaptureDevice->Reset();
                m_pCaptureDevice->Close();
            }
        }
        catch (const char* pszText)
        {
            pszError = pszText;
        }
        catch (...)
        {
            pszError = APP_EXCEPTION;
        }
    }
    // The reset and close wake the capture thread, but a device left in a failed state
    // does neither: wake it here too, so the stop step always runs.
    SetEvent(m_hEvent);
    if (pszError)
        ShowAppError(pszError);
}

void CDeviceThread::Run()
{
    const char* pszError = nullptr;
    int nBuffersWritten = 0;
    try
    {
        for (;;)
        {
            WaitForSingleObject(m_hEvent, INFINITE);
            std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
            if (m_bStop)
            {
                m_bStop = false;
                // A second that was completely captured before the stop is kept; only the
                // partly filled buffer the reset returned is dropped.
                if (m_ring.CollectLast(m_display, m_bytes))
                {
                    uint32_t nWritten = 0;
                    if (m_pReceiver)
                        nWritten = m_pReceiver->Write(m_bytes.data(), static_cast<uint32_t>(m_bytes.size()));
                    ++nBuffersWritten;
                    if (IWaveformView* pView = GetWaveformView())
                        pView->AddSamples(m_display, nWritten);
                }
                if (m_pReceiver)
                    m_pReceiver->Finish();
                if (IWaveformView* pView = GetWaveformView())
                {
                    pView->OnCaptureStopped(IsListedDevice(m_pCaptureDevice) ? m_pCaptureDevice->GetElapsedSeconds() : 0);
                }
                break;
            }
            if (m_ring.IsCurrentDone())
            {
                m_ring.Collect(m_display, m_bytes);
                uint32_t nWritten = 0;
                if (m_pReceiver)
                    nWritten = m_pReceiver->Write(m_bytes.data(), static_cast<uint32_t>(m_bytes.size()));
                ++nBuffersWritten;
                if (IWaveformView* pView = GetWaveformView())
                    pView->AddSamples(m_display, nWritten);
            }
        }
    }
    catch (const CRecordingEnded& ended)
    {
        // The receiver can take no more: complete its file with what it holds, and end
        // the recording as if stopped. The device stays open until the owner stops.
        pszError = ended.szMessage;
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        try
        {
            if (m_pReceiver)
                m_pReceiver->Finish();
        }
        catch (...)
        {
        }
        m_pReceiver = nullptr;
        if (IWaveformView* pView = GetWaveformView())
            pView->OnCaptureStopped(nBuffersWritten);
    }
    catch (...)
    {
        pszError = APP_EXCEPTION;
    }
    if (pszError)
        ShowAppError(pszError);
    SetEvent(m_hThreadEnded);
}
