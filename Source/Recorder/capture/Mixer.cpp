#include "Mixer.h"

#include "CaptureRegistry.h"
#include "WaveIn.h"
#include "RecorderError.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace
{
HMIXEROBJ Obj(HMIXER h)
{
    return reinterpret_cast<HMIXEROBJ>(h);
}

bool GetRecordingDestination(HMIXER hMixer, MIXERLINEA& destination)
{
    std::memset(&destination, 0, sizeof(destination));
    destination.cbStruct = sizeof(destination);
    destination.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    return mixerGetLineInfoA(Obj(hMixer), &destination, MIXER_GETLINEINFOF_COMPONENTTYPE) == MMSYSERR_NOERROR;
}

// The recording destination's source list control (MUX, MIXER, SINGLESELECT, MULTIPLESELECT).
bool FindSourceList(HMIXER hMixer, MIXERLINEA& destination, MIXERCONTROLA& list)
{
    if (!GetRecordingDestination(hMixer, destination) || destination.cControls == 0)
        return false;
    std::vector<MIXERCONTROLA> controls(destination.cControls);
    std::memset(controls.data(), 0, controls.size() * sizeof(MIXERCONTROLA));
    MIXERLINECONTROLSA query;
    std::memset(&query, 0, sizeof(query));
    query.cbStruct = sizeof(query);
    query.dwLineID = destination.dwLineID;
    query.cControls = destination.cControls;
    query.cbmxctrl = sizeof(MIXERCONTROLA);
    query.pamxctrl = controls.data();
    if (mixerGetLineControlsA(Obj(hMixer), &query, MIXER_GETLINECONTROLSF_ALL) != MMSYSERR_NOERROR)
        return false;
    for (const MIXERCONTROLA& c : controls)
        if ((c.dwControlType & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_LIST)
        {
            list = c;
            return true;
        }
    return false;
}

// Every entry of the source list (items by channel), read or written as they are.
bool SourceListValues(HMIXER hMixer, std::vector<DWORD>& values, bool bWrite)
{
    MIXERLINEA destination;
    MIXERCONTROLA list;
    if (!FindSourceList(hMixer, destination, list))
        return false;
    const DWORD nChannels = (list.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : destination.cChannels;
    const DWORD nItems = (list.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? list.cMultipleItems : 0;
    const size_t nEntries = static_cast<size_t>(nItems) * nChannels;
    if (nEntries == 0 || (bWrite && values.size() != nEntries))
        return false;
    values.resize(nEntries);
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof(details));
    details.cbStruct = sizeof(details);
    details.dwControlID = list.dwControlID;
    details.cChannels = nChannels;
    details.cMultipleItems = nItems;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = values.data();
    return bWrite ? mixerSetControlDetails(Obj(hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR
                  : mixerGetControlDetailsA(Obj(hMixer), &details, MIXER_GETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}
}  // namespace

// ---- CMixerLine ----

CMixerLine::CMixerLine(const MIXERLINEA& line, HMIXER hMixer) : m_line(line), m_hMixer(hMixer) {}

bool CMixerLine::FindControl(DWORD dwControlType, MIXERCONTROLA& control)
{
    std::memset(&control, 0, sizeof(control));
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA controls;
    std::memset(&controls, 0, sizeof(controls));
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = m_line.dwLineID;
    controls.dwControlType = dwControlType;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(MIXERCONTROLA);
    controls.pamxctrl = &control;
    return mixerGetLineControlsA(Obj(m_hMixer), &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE) == MMSYSERR_NOERROR;
}

DWORD CMixerLine::ChannelsFor(const MIXERCONTROLA& control) const
{
    if (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM)
        return 1;
    return m_line.cChannels > 2 ? 2 : m_line.cChannels;
}

void CMixerLine::Unmute()
{
    MIXERCONTROLA control;
    if (!FindControl(MIXERCONTROL_CONTROLTYPE_MUTE, control))
        return;
    DWORD nChannels = ChannelsFor(control);
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(nChannels == 0 ? 1 : nChannels, MIXERCONTROLDETAILS_BOOLEAN{0});
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof(details));
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = nChannels;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = values.data();
    mixerSetControlDetails(Obj(m_hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

void CMixerLine::SetVolume(DWORD nPercent)
{
    if (nPercent > 100)
        nPercent = 100;
    MIXERCONTROLA control;
    if (!FindControl(MIXERCONTROL_CONTROLTYPE_VOLUME, control))
        return;
    DWORD nValue = (control.Bounds.dwMaximum - control.Bounds.dwMinimum) * nPercent / 100 + control.Bounds.dwMinimum;
    DWORD nChannels = ChannelsFor(control);
    std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(nChannels == 0 ? 1 : nChannels, MIXERCONTROLDETAILS_UNSIGNED{nValue});
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof(details));
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = nChannels;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values.data();
    mixerSetControlDetails(Obj(m_hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

bool CMixerLine::ControlValues(DWORD dwControlType, std::vector<DWORD>& values, bool bWrite)
{
    MIXERCONTROLA control;
    if (!FindControl(dwControlType, control))
        return false;
    const DWORD nChannels = ChannelsFor(control);
    const size_t nEntries = nChannels == 0 ? 1 : nChannels;
    if (bWrite && values.size() != nEntries)
        return false;
    values.resize(nEntries);
    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof(details));
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = nChannels;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = values.data();
    return (bWrite ? mixerSetControlDetails(Obj(m_hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE)
                   : mixerGetControlDetailsA(Obj(m_hMixer), &details, MIXER_GETCONTROLDETAILSF_VALUE)) == MMSYSERR_NOERROR;
}

bool CMixerLine::ReadControl(DWORD dwControlType, std::vector<DWORD>& values)
{
    return ControlValues(dwControlType, values, false);
}

bool CMixerLine::WriteControl(DWORD dwControlType, const std::vector<DWORD>& values)
{
    std::vector<DWORD> copy = values;
    return ControlValues(dwControlType, copy, true);
}

void CMixerLine::SelectAsSource()
{
    MIXERLINEA destination;
    MIXERCONTROLA listControl;
    if (!FindSourceList(m_hMixer, destination, listControl))
        return;
    const MIXERCONTROLA* pList = &listControl;
    const bool bExclusive = pList->dwControlType == MIXERCONTROL_CONTROLTYPE_SINGLESELECT ||
                            pList->dwControlType == MIXERCONTROL_CONTROLTYPE_MUX;
    const DWORD nChannels = (pList->fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : destination.cChannels;
    const DWORD nItems = (pList->fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? pList->cMultipleItems : 0;
    const size_t nEntries = static_cast<size_t>(nItems) * nChannels;
    if (nEntries == 0)
        return;

    std::unique_ptr<MIXERCONTROLDETAILS_LISTTEXTA[]> texts(new (std::nothrow) MIXERCONTROLDETAILS_LISTTEXTA[nEntries]);
    std::unique_ptr<MIXERCONTROLDETAILS_BOOLEAN[]> values(new (std::nothrow) MIXERCONTROLDETAILS_BOOLEAN[nEntries]);
    if (!texts || !values)
        return;
    std::memset(texts.get(), 0, nEntries * sizeof(MIXERCONTROLDETAILS_LISTTEXTA));
    std::memset(values.get(), 0, nEntries * sizeof(MIXERCONTROLDETAILS_BOOLEAN));

    MIXERCONTROLDETAILS details;
    std::memset(&details, 0, sizeof(details));
    details.cbStruct = sizeof(details);
    details.dwControlID = pList->dwControlID;
    details.cChannels = nChannels;
    details.cMultipleItems = nItems;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_LISTTEXTA);
    details.paDetails = texts.get();
    if (mixerGetControlDetailsA(Obj(m_hMixer), &details, MIXER_GETCONTROLDETAILSF_LISTTEXT) != MMSYSERR_NOERROR)
        return;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = values.get();
    if (mixerGetControlDetailsA(Obj(m_hMixer), &details, MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
        return;

    // Entries run channel by channel (all items of the first channel, then the next), so
    // an item is set on every channel; stepping through one list by the channel count
    // would pick the wrong entries of a control that is not uniform.
    for (DWORD i = 0; i < nItems; ++i)
    {
        const bool bThisLine = std::strcmp(texts[i].szName, m_line.szName) == 0;
        if (!bThisLine && !bExclusive)
            continue;  // a mixing control keeps the other sources as they are
        for (DWORD c = 0; c < nChannels; ++c)
            values[static_cast<size_t>(c) * nItems + i].fValue = bThisLine ? 1 : 0;
    }
    mixerSetControlDetails(Obj(m_hMixer), &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

// ---- CMixer ----

CMixer::CMixer(UINT nDeviceId) : m_nDeviceId(nDeviceId) {}

CMixer::~CMixer()
{
    Close();
}

void CMixer::Open()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_hMixer)
        return;
    if (mixerOpen(&m_hMixer, m_nDeviceId, 0, 0, MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR)
    {
        m_hMixer = nullptr;
        throw CRecorderError("Can't open Mixer Device.");
    }
    EnumLines();
}

void CMixer::EnumLines()
{
    MIXERLINEA destination;
    if (!GetRecordingDestination(m_hMixer, destination))
        return;
    for (DWORD i = 0; i < destination.cConnections; ++i)
    {
        MIXERLINEA source;
        std::memset(&source, 0, sizeof(source));
        source.cbStruct = sizeof(source);
        source.dwDestination = destination.dwDestination;
        source.dwSource = i;
        if (mixerGetLineInfoA(Obj(m_hMixer), &source, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR)
            continue;
        if (source.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER)
            continue;
        m_lines.push_back(new CMixerLine(source, m_hMixer));
    }
}

void CMixer::Close()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_hMixer)
        return;
    for (CMixerLine* pLine : m_lines)
        delete pLine;
    m_lines.clear();
    mixerClose(m_hMixer);
    m_hMixer = nullptr;
}

bool CMixer::IsOpen()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_hMixer != nullptr;
}

bool CMixer::ReadSources(std::vector<DWORD>& values)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_hMixer && SourceListValues(m_hMixer, values, false);
}

bool CMixer::WriteSources(const std::vector<DWORD>& values)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::vector<DWORD> copy = values;
    return m_hMixer && SourceListValues(m_hMixer, copy, true);
}

CMixerLine* CMixer::FindLine(const char* pszName)
{
    if (pszName)
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        for (CMixerLine* pLine : m_lines)
            if (std::strcmp(pLine->Name(), pszName) == 0)
                return pLine;
    }
    throw CRecorderError("Mixer's line not found.");
}

size_t CMixer::GetLineCount()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_lines.size();
}

CMixerLine* CMixer::GetLine(size_t nIndex)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return nIndex < m_lines.size() ? m_lines[nIndex] : nullptr;
}

// ---- selection and preparation ----

LineChoice FindKeptChoice(const std::string& deviceName, const std::string& lineName, const LineChoice& positions)
{
    if (deviceName.empty())
        return positions;
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    std::vector<CWaveIn*>& devices = EnumDevices();
    auto deviceAt = [&](int n) { return n >= 0 && static_cast<size_t>(n) < devices.size() && deviceName == devices[n]->Name(); };
    LineChoice found;
    if (deviceAt(positions.nDevice))
        found.nDevice = positions.nDevice;
    else
    {
        auto it = std::find_if(devices.begin(), devices.end(), [&](CWaveIn* p) { return deviceName == p->Name(); });
        if (it == devices.end())
            return LineChoice();
        found.nDevice = static_cast<int>(it - devices.begin());
    }
    if (lineName.empty())
    {
        if (found.nDevice == positions.nDevice)
            found.nLine = positions.nLine;
        return found;
    }
    try
    {
        CMixer& mixer = devices[found.nDevice]->GetMixer();
        const int nLines = static_cast<int>(mixer.GetLineCount());
        if (found.nDevice == positions.nDevice && positions.nLine >= 0 && positions.nLine < nLines &&
            lineName == mixer.GetLine(positions.nLine)->Name())
            found.nLine = positions.nLine;
        for (int i = 0; i < nLines && found.nLine < 0; ++i)
            if (lineName == mixer.GetLine(i)->Name())
                found.nLine = i;
        mixer.Close();
    }
    catch (const std::exception&)
    {
        // Told when the recording or the settings page opens the mixer itself.
    }
    return found;
}

bool SelectCurrentDevice(const LineChoice& choice, std::string& deviceName, std::string& lineName)
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    deviceName.clear();
    lineName.clear();
    std::vector<CWaveIn*>& devices = EnumDevices();
    if (choice.nDevice >= 0 && static_cast<size_t>(choice.nDevice) < devices.size())
    {
        SetCurrentDevice(devices[choice.nDevice]);
        deviceName = devices[choice.nDevice]->Name();
    }
    if (deviceName.empty())
    {
        SetCurrentDevice(nullptr);
        return false;
    }
    CMixer& mixer = GetCurrentDevice()->GetMixer();
    std::string chosen;
    bool bFound = false;
    const size_t nLines = mixer.GetLineCount();
    for (size_t i = 0; i < nLines && !bFound; ++i)
    {
        const char* pszName = mixer.GetLine(i)->Name();
        if (choice.nLine == -1 ? std::strstr(pszName, "Mix") != nullptr : static_cast<size_t>(choice.nLine) == i)
        {
            chosen = pszName;
            bFound = true;
        }
    }
    mixer.Close();
    if (!bFound)
        return false;
    lineName = chosen;
    return true;
}

std::string PrepareRecordingLine(const LineChoice& choice, int nCaptureMode, int nChannels, int nRate, int nBits,
                                 DWORD nVolumePercent, LineSnapshot* pBefore, bool bSideBySide)
{
    EnumDevices();
    std::string deviceName, lineName;
    if (!SelectCurrentDevice(choice, deviceName, lineName))
        throw CRecorderError("Device error.");
    CWaveIn* pDevice = GetCurrentDevice();
    if (!pDevice)
        throw CRecorderError("Device error.");
    pDevice->SetFormat(nCaptureMode, nChannels, nRate, nBits);
    CMixer& mixer = pDevice->GetMixer();
    try
    {
        CMixerLine* pLine = mixer.FindLine(lineName.c_str());
        if (pBefore)
        {
            // What the recording changes, so it can be put back for every other program.
            LineSnapshot& s = *pBefore;
            s = LineSnapshot();
            s.nDeviceId = pDevice->DeviceId();
            s.deviceName = deviceName;
            s.lineName = lineName;
            s.bHasMute = pLine->ReadControl(MIXERCONTROL_CONTROLTYPE_MUTE, s.mute);
            s.bHasVolume = pLine->ReadControl(MIXERCONTROL_CONTROLTYPE_VOLUME, s.volume);
            s.bHasSources = mixer.ReadSources(s.sources);
            s.bTaken = true;
        }
        pLine->Unmute();
        pLine->SetVolume(nVolumePercent);
        pLine->WriteControl(MIXERCONTROL_CONTROLTYPE_ONOFF, {bSideBySide ? 1u : 0u});
        pLine->SelectAsSource();
    }
    catch (...)
    {
        mixer.Close();
        throw;
    }
    mixer.Close();
    return lineName;
}

void RestoreRecordingLine(const LineSnapshot& before)
{
    if (!before.bTaken)
        return;
    try
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        for (CWaveIn* pDevice : EnumDevices())
        {
            if (pDevice->DeviceId() != before.nDeviceId || before.deviceName != pDevice->Name())
                continue;
            CMixer& mixer = pDevice->GetMixer();
            // The selection first: on some devices selecting a source touches its controls.
            if (before.bHasSources)
                mixer.WriteSources(before.sources);
            for (size_t i = 0; i < mixer.GetLineCount(); ++i)
            {
                CMixerLine* pLine = mixer.GetLine(i);
                if (before.lineName != pLine->Name())
                    continue;
                if (before.bHasVolume)
                    pLine->WriteControl(MIXERCONTROL_CONTROLTYPE_VOLUME, before.volume);
                if (before.bHasMute)
                    pLine->WriteControl(MIXERCONTROL_CONTROLTYPE_MUTE, before.mute);
                break;
            }
            mixer.Close();
            break;
        }
    }
    catch (...)
    {
        // A mixer that no longer opens has nothing to put back.
    }
}
