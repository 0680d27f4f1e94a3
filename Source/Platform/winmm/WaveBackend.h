// How the winmm stand-in reaches real and virtual capture devices.
//
// A backend lists devices; a device opens a stream that feeds an open
// wave-input handle (CWaveInPort) from the backend's own thread. The handle
// keeps the Windows rules itself: the queue of headers, WHDR_DONE, the
// CALLBACK_EVENT signals, the sample position. Backends only deliver PCM.
#pragma once
#include "mmsystem.h"

#include <memory>
#include <string>
#include <vector>

namespace winmm
{
class CWaveInPort;
class IMixerPort;

// The calls a device may be asked to fail (the virtual device's fault seam).
enum class WaveCall
{
    GetDevCaps,
    Open,
    Prepare,
    Unprepare,
    AddBuffer,
    Start,
    Stop,
    Reset,
    Close,
    GetPosition,
    MixerOpen,
    Count
};

class IWaveInDevice
{
public:
    virtual ~IWaveInDevice() = default;

    virtual MMRESULT GetCaps(WAVEINCAPSA& caps) = 0;
    // Asked before each call's own work; a result other than MMSYSERR_NOERROR fails the call.
    virtual MMRESULT Check(WaveCall call) { return MMSYSERR_NOERROR; }

    // Opens a stream that will feed pPort once started. May refuse the format (WAVERR_BADFORMAT).
    virtual MMRESULT OpenStream(CWaveInPort* pPort, const WAVEFORMATEX& format) = 0;
    virtual void StartStream() = 0;
    // After StopStream returns, the device delivers nothing more until the next StartStream.
    virtual void StopStream() = 0;
    virtual void CloseStream() = 0;

    virtual MMRESULT OpenMixer(std::unique_ptr<IMixerPort>& pMixer) { return MMSYSERR_NODRIVER; }
};

class IWaveBackend
{
public:
    virtual ~IWaveBackend() = default;
    // The backend's capture devices as of now.
    virtual std::vector<std::shared_ptr<IWaveInDevice>> Devices() = 0;
};

// Backends in listing order: a backend added with bFirst goes before the others.
void AddWaveBackend(std::shared_ptr<IWaveBackend> pBackend, bool bFirst);
void RemoveWaveBackend(const std::shared_ptr<IWaveBackend>& pBackend);
// A backend whose devices changed drops the numbering, so the next call lists afresh.
void InvalidateDeviceList();

// Fills a fixed-size Windows name field, cutting the text so a terminating zero fits.
void CopyName(char* pDest, size_t nSize, const std::string& text);
}  // namespace winmm
