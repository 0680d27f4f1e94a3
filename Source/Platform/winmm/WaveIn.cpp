// The waveIn* functions: device numbering across backends, and handles.
#include "VirtualDevice.h"
#include "WaveInPort.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

namespace winmm
{
namespace
{
struct Registry
{
    std::mutex mutex;
    std::vector<std::shared_ptr<IWaveBackend>> backends;
    std::vector<std::shared_ptr<IWaveInDevice>> devices;  // numbering of the last listing
    std::set<CWaveInPort*> ports;
    bool initialized = false;
};

Registry& TheRegistry()
{
    static Registry registry;
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (!registry.initialized)
    {
        registry.initialized = true;
        registry.backends.push_back(virt::Backend());
    }
    return registry;
}

void RelistLocked(Registry& r)
{
    r.devices.clear();
    for (auto& backend : r.backends)
        for (auto& device : backend->Devices())
            r.devices.push_back(device);
}

std::shared_ptr<IWaveInDevice> DeviceById(UINT_PTR id)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.devices.empty())
        RelistLocked(r);
    if (id >= r.devices.size())
        return nullptr;
    return r.devices[id];
}

CWaveInPort* PortOf(HWAVEIN h)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto* p = reinterpret_cast<CWaveInPort*>(h);
    return r.ports.count(p) ? p : nullptr;
}
}  // namespace

void AddWaveBackend(std::shared_ptr<IWaveBackend> pBackend, bool bFirst)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.backends.insert(bFirst ? r.backends.begin() : r.backends.end(), std::move(pBackend));
    r.devices.clear();
}

void RemoveWaveBackend(const std::shared_ptr<IWaveBackend>& pBackend)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.backends.erase(std::remove(r.backends.begin(), r.backends.end(), pBackend), r.backends.end());
    r.devices.clear();
}

void InvalidateDeviceList()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.devices.clear();
}

void CopyName(char* pDest, size_t nSize, const std::string& text)
{
    std::memset(pDest, 0, nSize);
    std::memcpy(pDest, text.data(), std::min(text.size(), nSize - 1));
}

std::shared_ptr<IWaveInDevice> FindWaveInDevice(UINT_PTR id)
{
    return DeviceById(id);
}
}  // namespace winmm

using namespace winmm;

UINT waveInGetNumDevs()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    RelistLocked(r);
    return static_cast<UINT>(r.devices.size());
}

MMRESULT waveInGetDevCapsA(UINT_PTR uDeviceID, LPWAVEINCAPSA pwic, UINT cbwic)
{
    if (!pwic || cbwic < sizeof(WAVEINCAPSA))
        return MMSYSERR_INVALPARAM;
    auto pDevice = DeviceById(uDeviceID);
    if (!pDevice)
        return MMSYSERR_BADDEVICEID;
    if (MMRESULT r = pDevice->Check(WaveCall::GetDevCaps))
        return r;
    std::memset(pwic, 0, sizeof(WAVEINCAPSA));
    return pDevice->GetCaps(*pwic);
}

MMRESULT waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR dwInstance, DWORD fdwOpen)
{
    if (!phwi || !pwfx)
        return MMSYSERR_INVALPARAM;
    if ((fdwOpen & 0x00070000u) != CALLBACK_EVENT && (fdwOpen & 0x00070000u) != CALLBACK_NULL)
        return MMSYSERR_INVALFLAG;
    auto pDevice = DeviceById(uDeviceID);
    if (!pDevice)
        return MMSYSERR_BADDEVICEID;
    if (MMRESULT r = pDevice->Check(WaveCall::Open))
        return r;
    const WAVEFORMATEX& f = *pwfx;
    if (f.wFormatTag != WAVE_FORMAT_PCM || (f.nChannels != 1 && f.nChannels != 2) ||
        (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) || f.nSamplesPerSec == 0 ||
        f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8)
        return WAVERR_BADFORMAT;
    HANDLE hEvent = (fdwOpen & 0x00070000u) == CALLBACK_EVENT ? reinterpret_cast<HANDLE>(dwCallback) : nullptr;
    auto* pPort = new CWaveInPort(pDevice, f, hEvent);
    if (MMRESULT r = pDevice->OpenStream(pPort, f))
    {
        delete pPort;
        return r;
    }
    {
        Registry& reg = TheRegistry();
        std::lock_guard<std::mutex> lock(reg.mutex);
        reg.ports.insert(pPort);
    }
    *phwi = reinterpret_cast<HWAVEIN>(pPort);
    pPort->SignalEvent();  // WIM_OPEN
    return MMSYSERR_NOERROR;
}

MMRESULT waveInClose(HWAVEIN hwi)
{
    CWaveInPort* pPort = PortOf(hwi);
    if (!pPort)
        return MMSYSERR_INVALHANDLE;
    MMRESULT r = pPort->Close();
    if (r != MMSYSERR_NOERROR)
        return r;
    {
        Registry& reg = TheRegistry();
        std::lock_guard<std::mutex> lock(reg.mutex);
        reg.ports.erase(pPort);
    }
    delete pPort;
    return MMSYSERR_NOERROR;
}

#define WITH_PORT(call)                          \
    CWaveInPort* pPort = PortOf(hwi);            \
    if (!pPort)                                  \
        return MMSYSERR_INVALHANDLE;             \
    return pPort->call

MMRESULT waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    WITH_PORT(Prepare(pwh));
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    WITH_PORT(Unprepare(pwh));
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh)
{
    if (cbwh < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    WITH_PORT(AddBuffer(pwh));
}

MMRESULT waveInStart(HWAVEIN hwi)
{
    WITH_PORT(Start());
}

MMRESULT waveInStop(HWAVEIN hwi)
{
    WITH_PORT(Stop());
}

MMRESULT waveInReset(HWAVEIN hwi)
{
    WITH_PORT(Reset());
}

MMRESULT waveInGetPosition(HWAVEIN hwi, LPMMTIME pmmt, UINT cbmmt)
{
    if (cbmmt < sizeof(MMTIME))
        return MMSYSERR_INVALPARAM;
    WITH_PORT(GetPosition(pmmt));
}
