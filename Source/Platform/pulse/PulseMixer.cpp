#include "PulseWaveIn.h"

#include <algorithm>
#include <cmath>

namespace winmm::pulse
{
namespace
{
constexpr DWORD kDestinationId = 0xFFFF0000u;
constexpr DWORD kSelectControlId = 1;
constexpr DWORD kFirstSourceId = 0x1000;
constexpr DWORD kVolumeMax = 65535;

DWORD ControlId(DWORD nLine, DWORD nKind)
{
    return 100 + nLine * 10 + nKind;
}
}  // namespace

pa_volume_t VolumeFromControl(DWORD nValue)
{
    if (nValue >= kVolumeMax)
        return PA_VOLUME_NORM;
    return pa_sw_volume_from_linear(static_cast<double>(nValue) / kVolumeMax);
}

DWORD ControlFromVolume(pa_volume_t volume)
{
    const double value = std::lround(pa_sw_volume_to_linear(volume) * kVolumeMax);
    return value >= kVolumeMax ? kVolumeMax : value <= 0 ? 0 : static_cast<DWORD>(value);
}

CPulseMixer::CPulseMixer(std::shared_ptr<CPulseWaveIn> pDevice, std::vector<LineEntry> lines, std::string defaultSource)
    : m_pDevice(std::move(pDevice)), m_lines(std::move(lines)), m_defaultSource(std::move(defaultSource))
{
    m_destination.id = kDestinationId;
    m_destination.componentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    m_destination.channels = 2;
    m_destination.name = "Recording Control";
    if (!m_lines.empty())
    {
        MixerControlDesc select;
        select.id = kSelectControlId;
        select.type = MIXERCONTROL_CONTROLTYPE_MUX;
        select.flags = MIXERCONTROL_CONTROLF_MULTIPLE | MIXERCONTROL_CONTROLF_UNIFORM;
        select.items = static_cast<DWORD>(m_lines.size());
        select.maximum = 1;
        select.name = "Recording Source";
        m_destination.controls.push_back(select);
    }
    for (DWORD i = 0; i < m_lines.size(); ++i)
    {
        MixerLineDesc line;
        line.id = kFirstSourceId + i;
        line.componentType = m_lines[i].componentType;
        line.channels = m_lines[i].channels;
        line.name = m_lines[i].name;
        // A source has one mute switch and one level (its balance is kept), so both act
        // on all channels at once.
        line.controls.push_back(MuteControl(ControlId(i, 1), MIXERCONTROL_CONTROLF_UNIFORM));
        line.controls.push_back(VolumeControl(ControlId(i, 2), MIXERCONTROL_CONTROLF_UNIFORM, 0, kVolumeMax));
        if (m_lines[i].both)
            line.controls.push_back(SideBySideControl(ControlId(i, 3)));
        m_sources.push_back(line);
    }
}

std::vector<DWORD> CPulseMixer::ReadValues(const MixerControlDesc& control, DWORD nLine)
{
    if (control.id == kSelectControlId)
    {
        std::string selected = m_pDevice->SelectedSource();
        if (selected.empty())
            selected = m_defaultSource;
        std::vector<DWORD> values;
        for (const LineEntry& line : m_lines)
            values.push_back(line.source == selected ? 1 : 0);
        return values;
    }
    if (m_lines[nLine].both)
    {
        // The line's own controls: the two sources keep the levels the user gave them.
        const BothControls both = m_pDevice->GetBothControls();
        if (control.type == MIXERCONTROL_CONTROLTYPE_MUTE)
            return {both.muted ? 1u : 0u};
        if (control.type == MIXERCONTROL_CONTROLTYPE_ONOFF)
            return {both.sideBySide ? 1u : 0u};
        return {both.volume};
    }
    CPulseServer& server = m_pDevice->Server();
    SourceState state;
    {
        CPulseServer::CLock lock(server);
        if (!server.QuerySourceLocked(m_lines[nLine].source, state))
            return {0};
    }
    if (control.type == MIXERCONTROL_CONTROLTYPE_MUTE)
        return {state.muted ? 1u : 0u};
    return {ControlFromVolume(pa_cvolume_max(&state.volume))};
}

MMRESULT CPulseMixer::WriteValues(const MixerControlDesc& control, DWORD nLine, const std::vector<DWORD>& values)
{
    if (control.id == kSelectControlId)
    {
        // One source feeds the recording: exactly one entry must be set.
        size_t nSet = 0, nChosen = 0;
        for (size_t i = 0; i < values.size() && i < m_lines.size(); ++i)
            if (values[i])
            {
                ++nSet;
                nChosen = i;
            }
        if (nSet != 1)
            return MIXERR_INVALVALUE;
        m_pDevice->SelectSource(m_lines[nChosen].source);
        return MMSYSERR_NOERROR;
    }
    if (values.empty())
        return MMSYSERR_INVALPARAM;
    if (m_lines[nLine].both)
    {
        BothControls both = m_pDevice->GetBothControls();
        if (control.type == MIXERCONTROL_CONTROLTYPE_MUTE)
            both.muted = values[0] != 0;
        else if (control.type == MIXERCONTROL_CONTROLTYPE_ONOFF)
            both.sideBySide = values[0] != 0;
        else
            both.volume = std::min<DWORD>(values[0], kVolumeMax);
        m_pDevice->SetBothControls(both);
        return MMSYSERR_NOERROR;
    }
    CPulseServer& server = m_pDevice->Server();
    CPulseServer::CLock lock(server);
    const std::string& source = m_lines[nLine].source;
    if (control.type == MIXERCONTROL_CONTROLTYPE_MUTE)
        return server.SetSourceMuteLocked(source, values[0] != 0) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
    SourceState state;
    if (!server.QuerySourceLocked(source, state) || state.volume.channels == 0)
        return MMSYSERR_ERROR;
    const pa_volume_t target = VolumeFromControl(values[0]);
    if (pa_cvolume_max(&state.volume) > PA_VOLUME_MUTED)
        pa_cvolume_scale(&state.volume, target);
    else
        pa_cvolume_set(&state.volume, state.volume.channels, target);
    return server.SetSourceVolumeLocked(source, state.volume) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}
}  // namespace winmm::pulse
