// How a backend shows its mixer to the winmm stand-in: a recording destination
// with one source-select list control, and source lines with mute and volume.
// CMixerModel answers the Windows-shaped mixer queries from that description;
// a backend supplies the description and reads and writes the values.
//
// Threads: main thread (the program opens, uses and closes a mixer there).
#pragma once
#include "mmsystem.h"

#include <memory>
#include <string>
#include <vector>

namespace winmm
{
class IMixerPort
{
public:
    virtual ~IMixerPort() = default;
    virtual MMRESULT GetLineInfo(MIXERLINEA& line, DWORD fdwInfo) = 0;
    virtual MMRESULT GetLineControls(MIXERLINECONTROLSA& query, DWORD fdwControls) = 0;
    virtual MMRESULT GetControlDetails(MIXERCONTROLDETAILS& details, DWORD fdwDetails) = 0;
    virtual MMRESULT SetControlDetails(const MIXERCONTROLDETAILS& details, DWORD fdwDetails) = 0;
};

struct MixerControlDesc
{
    DWORD id = 0;
    DWORD type = 0;
    DWORD flags = 0;
    DWORD items = 0;  // list controls: one item per source line
    DWORD minimum = 0;
    DWORD maximum = 0;
    std::string name;
};

struct MixerLineDesc
{
    DWORD id = 0;
    DWORD componentType = 0;
    DWORD channels = 2;
    std::string name;
    bool failInfo = false;
    std::vector<MixerControlDesc> controls;
};

// The two controls every source line of a backend offers.
MixerControlDesc MuteControl(DWORD id, DWORD flags);
MixerControlDesc VolumeControl(DWORD id, DWORD flags, DWORD minimum, DWORD maximum);
// The layout switch of a "Stereo Mix + Microphone" line (BothSources.h): one value for the line.
MixerControlDesc SideBySideControl(DWORD id);

class CMixerModel : public IMixerPort
{
public:
    MMRESULT GetLineInfo(MIXERLINEA& line, DWORD fdwInfo) override;
    MMRESULT GetLineControls(MIXERLINECONTROLSA& query, DWORD fdwControls) override;
    MMRESULT GetControlDetails(MIXERCONTROLDETAILS& details, DWORD fdwDetails) override;
    MMRESULT SetControlDetails(const MIXERCONTROLDETAILS& details, DWORD fdwDetails) override;

protected:
    // Filled by the backend when the mixer opens.
    MixerLineDesc m_destination;
    std::vector<MixerLineDesc> m_sources;

    // Values of a control: mute and volume one per channel; the list control one
    // per source line (true when it feeds the recording).
    virtual std::vector<DWORD> ReadValues(const MixerControlDesc& control, DWORD nLine) = 0;
    // Returns MMSYSERR_NOERROR or the reason the values are refused.
    virtual MMRESULT WriteValues(const MixerControlDesc& control, DWORD nLine, const std::vector<DWORD>& values) = 0;

private:
    const MixerLineDesc* LineById(DWORD id, DWORD* pIndex) const;
    const MixerControlDesc* ControlById(DWORD id, DWORD* pLine) const;
    void FillLine(MIXERLINEA& out, const MixerLineDesc& desc, DWORD dwSource) const;
};
}  // namespace winmm
