#include "WaveIn.h"

#include "CaptureRegistry.h"
#include "MessageBox.h"
#include "RecorderError.h"

#include <algorithm>
#include <cstring>

namespace
{
std::atomic<uint64_t> g_nNextSerial{1};
}  // namespace

CWaveIn::CWaveIn(UINT nDeviceId, const WAVEINCAPSA& caps)
    : m_nDeviceId(nDeviceId), m_caps(caps), m_mixer(nDeviceId), m_nSerial(g_nNextSerial++)
{
    SetPcmFormat(m_format, 8, 1, 11025);
}

CWaveIn::~CWaveIn()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        // Whatever state the last call left, an open handle is released with its owner.
        if (m_hWaveIn)
        {
            waveInReset(m_hWaveIn);
            waveInClose(m_hWaveIn);
        }
    }
    m_mixer.Close();
}

void CWaveIn::SetPcmFormat(WAVEFORMATEX& format, WORD nBits, WORD nChannels, DWORD nRate)
{
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = nChannels;
    format.nSamplesPerSec = nRate;
    format.nAvgBytesPerSec = static_cast<DWORD>(nBits) * nChannels * nRate / 8;
    format.nBlockAlign = static_cast<WORD>(nChannels * nBits / 8);
    format.wBitsPerSample = nBits;
    format.cbSize = 0;
}

void CWaveIn::Open(HANDLE* phEvent)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    // A handle still open from an earlier recording (a failed close, or a failed call
    // that left the device alone) would block this device for good: close it first.
    if (m_hWaveIn)
    {
        waveInReset(m_hWaveIn);
        if (waveInClose(m_hWaveIn) == MMSYSERR_NOERROR)
            m_hWaveIn = nullptr;
    }
    m_nLastResult = waveInOpen(&m_hWaveIn, m_nDeviceId, &m_format, reinterpret_cast<DWORD_PTR>(*phEvent), 0,
                               CALLBACK_EVENT);
    if (m_nLastResult != MMSYSERR_NOERROR)
        throw CRecorderError("Cannot open device");
}

void CWaveIn::Close()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_nLastResult != MMSYSERR_NOERROR)
        return;
    waveInReset(m_hWaveIn);
    if (waveInClose(m_hWaveIn) != MMSYSERR_NOERROR)
        throw CRecorderError("Cannot close device");
    m_hWaveIn = nullptr;
    m_nLastResult = 2;
}

void CWaveIn::Start()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_nLastResult = waveInStart(m_hWaveIn);
    m_nElapsedSeconds = 0;
}

void CWaveIn::Stop()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_nLastResult = waveInStop(m_hWaveIn);
    m_nCaptureMode = CAPTURE_MODE_NONE;
}

void CWaveIn::StopInput()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_nLastResult == MMSYSERR_NOERROR)
        m_nLastResult = waveInStop(m_hWaveIn);
}

void CWaveIn::PrepareHeader(WAVEHDR* pHeader)
{
    m_nLastResult = waveInPrepareHeader(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (m_nLastResult != MMSYSERR_NOERROR)
        throw CRecorderError("Cannot prepare header");
}

void CWaveIn::UnprepareHeader(WAVEHDR* pHeader)
{
    m_nLastResult = waveInUnprepareHeader(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (m_nLastResult != MMSYSERR_NOERROR)
        throw CRecorderError("Cannot unprepare header");
}

void CWaveIn::AddBuffer(WAVEHDR* pHeader)
{
    m_nLastResult = waveInAddBuffer(m_hWaveIn, pHeader, sizeof(WAVEHDR));
    if (m_nLastResult != MMSYSERR_NOERROR)
        throw CRecorderError("Cannot add buffer");
}

bool CWaveIn::SetFormat(int nMode, int nChannels, int nRate, int nBits)
{
    m_nCaptureMode = CAPTURE_MODE_NONE;
    switch (nMode)
    {
    case CAPTURE_MODE_MP3:
    case CAPTURE_MODE_OGG:
    case CAPTURE_MODE_WMA:
        std::memset(&m_format, 0, sizeof(m_format));
        m_format.wFormatTag = WAVE_FORMAT_PCM;
        m_format.nChannels = 2;
        m_format.nSamplesPerSec = 44100;
        m_format.wBitsPerSample = 16;
        m_format.nBlockAlign = 4;
        m_format.nAvgBytesPerSec = 176400;
        m_format.cbSize = 0;
        m_nCaptureMode = nMode;
        return true;
    case CAPTURE_MODE_WAV:
        if (nChannels > 0 && nRate > 0 && nBits > 0)
        {
            m_nCaptureMode = CAPTURE_MODE_WAV;
            std::memset(&m_format, 0, sizeof(m_format));
            m_format.wBitsPerSample = static_cast<WORD>(nBits);
            m_format.nChannels = static_cast<WORD>(nChannels);
            m_format.nSamplesPerSec = static_cast<DWORD>(nRate);
            m_format.wFormatTag = WAVE_FORMAT_PCM;
            m_format.cbSize = 0;
            m_format.nBlockAlign = static_cast<WORD>(static_cast<WORD>(nBits / 8) * nChannels);
            m_format.nAvgBytesPerSec = m_format.nBlockAlign * m_format.nSamplesPerSec;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CWaveIn::HasFormat() const
{
    return m_nCaptureMode >= CAPTURE_MODE_MP3 && m_nCaptureMode <= CAPTURE_MODE_WMA;
}

DWORD CWaveIn::GetPosition()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveInGetPosition(m_hWaveIn, &time, sizeof(time)) == MMSYSERR_NOERROR && time.wType == TIME_SAMPLES)
        return time.u.sample;
    return 0;
}

int CWaveIn::GetElapsedSeconds()
{
    if (m_nElapsedSeconds == 0)
    {
        DWORD nPosition = GetPosition();
        if (nPosition != 0 && m_format.nSamplesPerSec != 0)
            m_nElapsedSeconds = static_cast<int>(nPosition) / static_cast<int>(m_format.nSamplesPerSec);
    }
    return m_nElapsedSeconds;
}

void CWaveIn::Reset()
{
    GetElapsedSeconds();
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_nLastResult == MMSYSERR_NOERROR)
        waveInReset(m_hWaveIn);
}

CMixer& CWaveIn::GetMixer()
{
    m_mixer.Open();
    return m_mixer;
}

// ---- device list ----

namespace
{
std::vector<CWaveIn*> g_devices;
bool g_bEnumerated = false;
}  // namespace

std::vector<CWaveIn*>& EnumDevices()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    if (!g_bEnumerated)
    {
        for (UINT id = 0; id < waveInGetNumDevs(); ++id)
        {
            WAVEINCAPSA caps;
            std::memset(&caps, 0, sizeof(caps));
            if (waveInGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR)
                g_devices.push_back(new CWaveIn(id, caps));
        }
        g_bEnumerated = true;
    }
    return g_devices;
}

CWaveIn* FindDeviceByName(const char* pszName)
{
    EnumDevices();
    CWaveIn* pFound = nullptr;
    if (pszName)
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        for (CWaveIn* pDevice : g_devices)
            if (std::strcmp(pDevice->Name(), pszName) == 0)
            {
                pFound = pDevice;
                break;
            }
    }
    if (!pFound)
        MessageBoxA(nullptr, "Device not found.", APP_CAPTION, MB_ICONHAND);
    return pFound;
}

CWaveIn* FindListedDevice(uint64_t nSerial)
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    for (CWaveIn* pDevice : g_devices)
        if (pDevice->Serial() == nSerial)
            return pDevice;
    return nullptr;
}

void FreeDevices()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    for (CWaveIn* pDevice : g_devices)
    {
        if (GetCurrentDevice() == pDevice)
            SetCurrentDevice(nullptr);
        delete pDevice;
    }
    g_devices.clear();
    g_devices.shrink_to_fit();
    g_bEnumerated = false;
}
