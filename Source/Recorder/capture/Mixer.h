// A wave-input device's mixer: the source lines that feed its recording input,
// and the preparation of the line a recording captures.
//
// Threads: main thread only. The mixer lock is taken inside the global device
// lock or alone. A CMixerLine is valid only while its mixer stays open.
#pragma once
#include "mmsystem.h"

#include <mutex>
#include <string>
#include <vector>

class CMixerLine
{
public:
    CMixerLine(const MIXERLINEA& line, HMIXER hMixer);

    void Unmute();
    void SetVolume(DWORD nPercent);
    void SelectAsSource();

    // The values of the line's control of that type (MUTE, VOLUME), one per channel it
    // keeps apart; false when the line has no such control or it cannot be read.
    bool ReadControl(DWORD dwControlType, std::vector<DWORD>& values);
    bool WriteControl(DWORD dwControlType, const std::vector<DWORD>& values);

    const char* Name() const { return m_line.szName; }
    const MIXERLINEA& Line() const { return m_line; }

private:
    bool FindControl(DWORD dwControlType, MIXERCONTROLA& control);
    bool ControlValues(DWORD dwControlType, std::vector<DWORD>& values, bool bWrite);
    DWORD ChannelsFor(const MIXERCONTROLA& control) const;

    MIXERLINEA m_line;
    HMIXER m_hMixer;
};

class CMixer
{
public:
    explicit CMixer(UINT nDeviceId);
    ~CMixer();
    CMixer(const CMixer&) = delete;
    CMixer& operator=(const CMixer&) = delete;

    // Opens the mixer and lists its lines; nothing when already open. Throws "Can't open Mixer Device.".
    void Open();
    void Close();
    bool IsOpen();
    // The line with exactly that name. Throws "Mixer's line not found.".
    CMixerLine* FindLine(const char* pszName);

    size_t GetLineCount();
    CMixerLine* GetLine(size_t nIndex);

    // Every entry of the recording source selection, as it is; false without one.
    bool ReadSources(std::vector<DWORD>& values);
    bool WriteSources(const std::vector<DWORD>& values);

private:
    void EnumLines();

    UINT m_nDeviceId;
    HMIXER m_hMixer = nullptr;
    std::recursive_mutex m_lock;
    std::vector<CMixerLine*> m_lines;
};

// Which device and line a recording takes: a position in the device list, and a position among
// the device's lines or -1 for the first line whose name contains "Mix".
struct LineChoice
{
    int nDevice = 0;
    int nLine = -1;
};

// A choice kept by name (the configuration file keeps no positions) in the lists as they are now:
// the device of that name, and its line of that name, wherever they stand. Where the positions
// given still carry the names, they are kept (two devices may share a name). A device that is
// gone gives the default choice (the first device, its first "Mix" line); a line that is gone, or
// a mixer that does not open, the device's default line. Empty names leave the positions as given.
LineChoice FindKeptChoice(const std::string& deviceName, const std::string& lineName, const LineChoice& positions);

// Makes the chosen device current and gives the recording line's name; false when the device
// list or the device's lines have nothing at those positions.
bool SelectCurrentDevice(const LineChoice& choice, std::string& deviceName, std::string& lineName);

// What preparing a recording changes on a device's mixer (the line's mute and volume,
// the recording source selection), as it was before, to be put back afterwards.
struct LineSnapshot
{
    bool bTaken = false;
    UINT nDeviceId = 0;
    std::string deviceName;
    std::string lineName;
    bool bHasMute = false;
    bool bHasVolume = false;
    bool bHasSources = false;
    std::vector<DWORD> mute;
    std::vector<DWORD> volume;
    std::vector<DWORD> sources;
};

// The recording preparation up to the receiver: lists the devices, selects the
// chosen device and line, sets the capture format for the output format, and
// unmutes, sets the volume of and selects the line. What it changes is kept in
// *pBefore first, when given. Throws the message text of the step that failed
// ("Device error." when the choice names no usable device or line). A line that
// records two sources at once ("Stereo Mix + Microphone") takes bSideBySide as its
// layout; other lines have no such switch. Returns the line's name.
std::string PrepareRecordingLine(const LineChoice& choice, int nCaptureMode, int nChannels, int nRate, int nBits,
                                 DWORD nVolumePercent, LineSnapshot* pBefore = nullptr, bool bSideBySide = false);
// Puts the line and the source selection back as the snapshot has them; nothing when the
// device or line is gone. Never throws.
void RestoreRecordingLine(const LineSnapshot& before);
