#include "MixerModel.h"

#include "BothSources.h"

#include "WaveBackend.h"

#include <cstring>

namespace winmm
{
namespace
{
constexpr DWORD kDestinationIndex = 0xFFFFFFFFu;

void FillControl(MIXERCONTROLA& out, const MixerControlDesc& c)
{
    std::memset(&out, 0, sizeof(out));
    out.cbStruct = sizeof(out);
    out.dwControlID = c.id;
    out.dwControlType = c.type;
    out.fdwControl = c.flags;
    out.cMultipleItems = (c.flags & MIXERCONTROL_CONTROLF_MULTIPLE) ? c.items : 0;
    CopyName(out.szShortName, sizeof(out.szShortName), c.name);
    CopyName(out.szName, sizeof(out.szName), c.name);
    out.Bounds.dwMinimum = c.minimum;
    out.Bounds.dwMaximum = c.maximum;
    out.Metrics.cSteps = c.maximum > c.minimum ? c.maximum - c.minimum + 1 : 0;
}

bool IsList(const MixerControlDesc& c)
{
    return (c.type & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_LIST;
}
}  // namespace

MixerControlDesc MuteControl(DWORD id, DWORD flags)
{
    MixerControlDesc mute;
    mute.id = id;
    mute.type = MIXERCONTROL_CONTROLTYPE_MUTE;
    mute.flags = flags;
    mute.maximum = 1;
    mute.name = "Mute";
    return mute;
}

MixerControlDesc VolumeControl(DWORD id, DWORD flags, DWORD minimum, DWORD maximum)
{
    MixerControlDesc volume;
    volume.id = id;
    volume.type = MIXERCONTROL_CONTROLTYPE_VOLUME;
    volume.flags = flags;
    volume.minimum = minimum;
    volume.maximum = maximum;
    volume.name = "Volume";
    return volume;
}

MixerControlDesc SideBySideControl(DWORD id)
{
    MixerControlDesc side;
    side.id = id;
    side.type = MIXERCONTROL_CONTROLTYPE_ONOFF;
    side.flags = MIXERCONTROL_CONTROLF_UNIFORM;
    side.maximum = 1;
    side.name = SIDE_BY_SIDE_CONTROL_NAME;
    return side;
}

void CMixerModel::FillLine(MIXERLINEA& out, const MixerLineDesc& desc, DWORD dwSource) const
{
    std::memset(&out, 0, sizeof(out));
    out.cbStruct = sizeof(out);
    out.dwDestination = 0;
    out.dwSource = dwSource == kDestinationIndex ? 0 : dwSource;
    out.dwLineID = desc.id;
    out.fdwLine = MIXERLINE_LINEF_ACTIVE | (dwSource == kDestinationIndex ? 0 : MIXERLINE_LINEF_SOURCE);
    out.dwComponentType = desc.componentType;
    out.cChannels = desc.channels;
    out.cConnections = dwSource == kDestinationIndex ? static_cast<DWORD>(m_sources.size()) : 0;
    out.cControls = static_cast<DWORD>(desc.controls.size());
    CopyName(out.szShortName, sizeof(out.szShortName), desc.name);
    CopyName(out.szName, sizeof(out.szName), desc.name);
    out.Target.dwType = MIXERLINE_TARGETTYPE_WAVEIN;
}

const MixerLineDesc* CMixerModel::LineById(DWORD id, DWORD* pIndex) const
{
    if (id == m_destination.id)
    {
        *pIndex = kDestinationIndex;
        return &m_destination;
    }
    for (DWORD i = 0; i < m_sources.size(); ++i)
        if (m_sources[i].id == id)
        {
            *pIndex = i;
            return &m_sources[i];
        }
    return nullptr;
}

const MixerControlDesc* CMixerModel::ControlById(DWORD id, DWORD* pLine) const
{
    for (const MixerControlDesc& c : m_destination.controls)
        if (c.id == id)
        {
            *pLine = kDestinationIndex;
            return &c;
        }
    for (DWORD i = 0; i < m_sources.size(); ++i)
        for (const MixerControlDesc& c : m_sources[i].controls)
            if (c.id == id)
            {
                *pLine = i;
                return &c;
            }
    return nullptr;
}

MMRESULT CMixerModel::GetLineInfo(MIXERLINEA& line, DWORD fdwInfo)
{
    switch (fdwInfo & MIXER_GETLINEINFOF_QUERYMASK)
    {
    case MIXER_GETLINEINFOF_DESTINATION:
        if (line.dwDestination != 0)
            return MMSYSERR_INVALPARAM;
        FillLine(line, m_destination, kDestinationIndex);
        return MMSYSERR_NOERROR;
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
        if (line.dwComponentType != m_destination.componentType)
            return MIXERR_INVALLINE;
        FillLine(line, m_destination, kDestinationIndex);
        return MMSYSERR_NOERROR;
    case MIXER_GETLINEINFOF_SOURCE:
    {
        DWORD n = line.dwSource;
        if (line.dwDestination != 0 || n >= m_sources.size())
            return MMSYSERR_INVALPARAM;
        if (m_sources[n].failInfo)
            return MMSYSERR_ERROR;
        FillLine(line, m_sources[n], n);
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINEINFOF_LINEID:
    {
        DWORD n;
        const MixerLineDesc* pLine = LineById(line.dwLineID, &n);
        if (!pLine || (n != kDestinationIndex && pLine->failInfo))
            return MIXERR_INVALLINE;
        FillLine(line, *pLine, n);
        return MMSYSERR_NOERROR;
    }
    default:
        return MMSYSERR_INVALFLAG;
    }
}

MMRESULT CMixerModel::GetLineControls(MIXERLINECONTROLSA& query, DWORD fdwControls)
{
    if (!query.pamxctrl || query.cbmxctrl < sizeof(MIXERCONTROLA))
        return MMSYSERR_INVALPARAM;
    DWORD mode = fdwControls & MIXER_GETLINECONTROLSF_QUERYMASK;
    if (mode == MIXER_GETLINECONTROLSF_ONEBYID)
    {
        DWORD n;
        const MixerControlDesc* pControl = ControlById(query.dwControlID, &n);
        if (!pControl)
            return MIXERR_INVALCONTROL;
        FillControl(query.pamxctrl[0], *pControl);
        return MMSYSERR_NOERROR;
    }
    DWORD n;
    const MixerLineDesc* pLine = LineById(query.dwLineID, &n);
    if (!pLine)
        return MIXERR_INVALLINE;
    if (mode == MIXER_GETLINECONTROLSF_ONEBYTYPE)
    {
        for (const MixerControlDesc& c : pLine->controls)
            if (c.type == query.dwControlType)
            {
                FillControl(query.pamxctrl[0], c);
                return MMSYSERR_NOERROR;
            }
        return MIXERR_INVALCONTROL;
    }
    if (mode == MIXER_GETLINECONTROLSF_ALL)
    {
        if (query.cControls != pLine->controls.size())
            return MMSYSERR_INVALPARAM;
        for (size_t i = 0; i < pLine->controls.size(); ++i)
            FillControl(query.pamxctrl[i], pLine->controls[i]);
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_INVALFLAG;
}

MMRESULT CMixerModel::GetControlDetails(MIXERCONTROLDETAILS& details, DWORD fdwDetails)
{
    DWORD nLine;
    const MixerControlDesc* pControl = ControlById(details.dwControlID, &nLine);
    if (!pControl)
        return MIXERR_INVALCONTROL;
    if (!details.paDetails || details.cChannels == 0)
        return MMSYSERR_INVALPARAM;
    const bool bList = IsList(*pControl);
    const DWORD nItems = bList ? pControl->items : 1;
    if (bList && details.cMultipleItems != nItems)
        return MMSYSERR_INVALPARAM;
    const DWORD nChannels = details.cChannels;
    // Entries run channel by channel: all items of the first channel, then of the next.
    switch (fdwDetails & MIXER_GETCONTROLDETAILSF_QUERYMASK)
    {
    case MIXER_GETCONTROLDETAILSF_LISTTEXT:
    {
        if (!bList || details.cbDetails < sizeof(MIXERCONTROLDETAILS_LISTTEXTA))
            return MMSYSERR_INVALPARAM;
        auto* pTexts = static_cast<MIXERCONTROLDETAILS_LISTTEXTA*>(details.paDetails);
        for (DWORD ch = 0; ch < nChannels; ++ch)
            for (DWORD i = 0; i < nItems; ++i)
            {
                MIXERCONTROLDETAILS_LISTTEXTA& t = pTexts[ch * nItems + i];
                std::memset(&t, 0, sizeof(t));
                t.dwParam1 = i < m_sources.size() ? m_sources[i].id : 0;
                t.dwParam2 = i < m_sources.size() ? m_sources[i].componentType : 0;
                CopyName(t.szName, sizeof(t.szName), i < m_sources.size() ? m_sources[i].name : std::string());
            }
        return MMSYSERR_NOERROR;
    }
    case MIXER_GETCONTROLDETAILSF_VALUE:
    {
        if (details.cbDetails < sizeof(DWORD))
            return MMSYSERR_INVALPARAM;
        std::vector<DWORD> values = ReadValues(*pControl, nLine);
        auto* pOut = static_cast<DWORD*>(details.paDetails);
        for (DWORD ch = 0; ch < nChannels; ++ch)
            for (DWORD i = 0; i < nItems; ++i)
            {
                size_t k = bList ? i : std::min<size_t>(ch, values.size() - 1);
                pOut[ch * nItems + i] = k < values.size() ? values[k] : 0;
            }
        return MMSYSERR_NOERROR;
    }
    default:
        return MMSYSERR_INVALFLAG;
    }
}

MMRESULT CMixerModel::SetControlDetails(const MIXERCONTROLDETAILS& details, DWORD fdwDetails)
{
    DWORD nLine;
    const MixerControlDesc* pControl = ControlById(details.dwControlID, &nLine);
    if (!pControl)
        return MIXERR_INVALCONTROL;
    if (!details.paDetails || details.cChannels == 0 || details.cbDetails < sizeof(DWORD))
        return MMSYSERR_INVALPARAM;
    const bool bList = IsList(*pControl);
    const DWORD nItems = bList ? pControl->items : 1;
    if (bList && details.cMultipleItems != nItems)
        return MMSYSERR_INVALPARAM;
    const auto* pIn = static_cast<const DWORD*>(details.paDetails);
    std::vector<DWORD> values;
    if (bList)
        values.assign(pIn, pIn + nItems);  // the first channel decides
    else
    {
        DWORD nLineChannels = nLine == 0xFFFFFFFFu ? m_destination.channels : m_sources[nLine].channels;
        for (DWORD ch = 0; ch < std::max<DWORD>(1, nLineChannels); ++ch)
            values.push_back(pIn[std::min(ch, details.cChannels - 1)]);
        if ((pControl->type & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_FADER)
            for (DWORD v : values)
                if (v < pControl->minimum || v > pControl->maximum)
                    return MIXERR_INVALVALUE;
    }
    return WriteValues(*pControl, nLine, values);
}
}  // namespace winmm
