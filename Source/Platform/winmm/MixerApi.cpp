// The mixer* functions: handles over the mixer a backend's device opens.
#include "MixerModel.h"
#include "WaveBackend.h"

#include <mutex>
#include <set>

namespace winmm
{
std::shared_ptr<IWaveInDevice> FindWaveInDevice(UINT_PTR id);

namespace
{
struct MixerHandle
{
    std::unique_ptr<IMixerPort> port;
};

std::mutex g_mixersMutex;
std::set<MixerHandle*> g_mixers;

IMixerPort* PortOf(HMIXEROBJ h)
{
    std::lock_guard<std::mutex> lock(g_mixersMutex);
    auto* p = static_cast<MixerHandle*>(h);
    return g_mixers.count(p) ? p->port.get() : nullptr;
}
}  // namespace
}  // namespace winmm

using namespace winmm;

MMRESULT mixerOpen(LPHMIXER phmx, UINT uMxId, DWORD_PTR dwCallback, DWORD_PTR dwInstance, DWORD fdwOpen)
{
    if (!phmx)
        return MMSYSERR_INVALPARAM;
    *phmx = nullptr;
    // Mixers are numbered like the wave-input devices they belong to.
    if ((fdwOpen & MIXER_OBJECTF_HANDLE) != 0)
        return MMSYSERR_NOTSUPPORTED;
    auto pDevice = FindWaveInDevice(uMxId);
    if (!pDevice)
        return MMSYSERR_BADDEVICEID;
    if (MMRESULT r = pDevice->Check(WaveCall::MixerOpen))
        return r;
    auto* pHandle = new MixerHandle;
    if (MMRESULT r = pDevice->OpenMixer(pHandle->port))
    {
        delete pHandle;
        return r;
    }
    std::lock_guard<std::mutex> lock(g_mixersMutex);
    g_mixers.insert(pHandle);
    *phmx = reinterpret_cast<HMIXER>(pHandle);
    return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER hmx)
{
    auto* pHandle = reinterpret_cast<MixerHandle*>(hmx);
    {
        std::lock_guard<std::mutex> lock(g_mixersMutex);
        if (!g_mixers.erase(pHandle))
            return MMSYSERR_INVALHANDLE;
    }
    delete pHandle;
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineInfoA(HMIXEROBJ hmxobj, LPMIXERLINEA pmxl, DWORD fdwInfo)
{
    IMixerPort* pPort = PortOf(hmxobj);
    if (!pPort)
        return MMSYSERR_INVALHANDLE;
    if (!pmxl || pmxl->cbStruct < sizeof(MIXERLINEA))
        return MMSYSERR_INVALPARAM;
    return pPort->GetLineInfo(*pmxl, fdwInfo);
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ hmxobj, LPMIXERLINECONTROLSA pmxlc, DWORD fdwControls)
{
    IMixerPort* pPort = PortOf(hmxobj);
    if (!pPort)
        return MMSYSERR_INVALHANDLE;
    if (!pmxlc || pmxlc->cbStruct < sizeof(MIXERLINECONTROLSA))
        return MMSYSERR_INVALPARAM;
    return pPort->GetLineControls(*pmxlc, fdwControls);
}

MMRESULT mixerGetControlDetailsA(HMIXEROBJ hmxobj, LPMIXERCONTROLDETAILS pmxcd, DWORD fdwDetails)
{
    IMixerPort* pPort = PortOf(hmxobj);
    if (!pPort)
        return MMSYSERR_INVALHANDLE;
    if (!pmxcd || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS))
        return MMSYSERR_INVALPARAM;
    return pPort->GetControlDetails(*pmxcd, fdwDetails);
}

MMRESULT mixerSetControlDetails(HMIXEROBJ hmxobj, LPMIXERCONTROLDETAILS pmxcd, DWORD fdwDetails)
{
    IMixerPort* pPort = PortOf(hmxobj);
    if (!pPort)
        return MMSYSERR_INVALHANDLE;
    if (!pmxcd || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS))
        return MMSYSERR_INVALPARAM;
    return pPort->SetControlDetails(*pmxcd, fdwDetails);
}
