// A wave-input device of the machine, and the process-wide device list.
//
// Threads: the main thread calls everything but PrepareHeader, UnprepareHeader
// and AddBuffer, which the capture thread calls with the global device lock
// held (it also reads Format, which does not change while a capture runs).
// The device lock is only ever taken inside the global lock or alone. A
// device is destroyed only by FreeDevices, after its capture has stopped;
// Serial tells a device apart from a later one at the same address.
#pragma once
#include "AsyncDevice.h"
#include "Mixer.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum
{
    CAPTURE_MODE_NONE = -1,
    CAPTURE_MODE_MP3 = 0,
    CAPTURE_MODE_OGG = 1,
    CAPTURE_MODE_WAV = 2,
    CAPTURE_MODE_WMA = 3,
};

class CWaveIn : public CAsyncDevice
{
public:
    CWaveIn(UINT nDeviceId, const WAVEINCAPSA& caps);
    ~CWaveIn() override;

    void Open(HANDLE* phEvent) override;
    void Close() override;
    void Start() override;
    void Stop() override;
    void PrepareHeader(WAVEHDR* pHeader) override;
    void UnprepareHeader(WAVEHDR* pHeader) override;
    void AddBuffer(WAVEHDR* pHeader) override;
    const WAVEFORMATEX& Format() const override { return m_format; }

    bool SetFormat(int nMode, int nChannels, int nRate, int nBits);
    bool HasFormat() const;
    DWORD GetPosition();
    int GetElapsedSeconds();
    void Reset();
    // Stops the input: the buffer being filled comes back with what it holds, empty ones stay
    // queued; the capture mode stays as it is. Only on a healthy device.
    void StopInput();
    static void SetPcmFormat(WAVEFORMATEX& format, WORD nBits, WORD nChannels, DWORD nRate);

    // The device's mixer, opened (and its lines listed) when it was closed.
    CMixer& GetMixer();

    UINT DeviceId() const { return m_nDeviceId; }
    // Unique for the run: a device listed anew never has the serial of one freed before.
    uint64_t Serial() const { return m_nSerial; }
    MMRESULT LastResult() const { return m_nLastResult; }
    const WAVEINCAPSA& Caps() const { return m_caps; }
    const char* Name() const { return m_caps.szPname; }
    int CaptureMode() const { return m_nCaptureMode; }

private:
    WAVEFORMATEX m_format;
    UINT m_nDeviceId;
    HWAVEIN m_hWaveIn = nullptr;
    std::atomic<MMRESULT> m_nLastResult{2};  // set on the capture thread, read on the main thread
    WAVEINCAPSA m_caps;
    CMixer m_mixer;
    std::recursive_mutex m_lock;
    int m_nCaptureMode = CAPTURE_MODE_NONE;
    std::atomic<int> m_nElapsedSeconds{0};
    const uint64_t m_nSerial;
};

// The wave-input devices in the platform's order, built on first use.
std::vector<CWaveIn*>& EnumDevices();
// The first device with exactly that name; shows "Device not found." when there is none.
CWaveIn* FindDeviceByName(const char* pszName);
// The listed (not yet freed) device with that serial, or null.
CWaveIn* FindListedDevice(uint64_t nSerial);
// Destroys every device; a later EnumDevices lists them afresh.
void FreeDevices();
