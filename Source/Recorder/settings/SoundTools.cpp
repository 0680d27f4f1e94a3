#include "SoundTools.h"

#include "Shell.h"

#include <vector>

namespace
{
struct Candidate
{
    const char* pszProgram;
    const char* pszParameters;
    const char* pszAlsoNeeded;  // a program the command line runs in turn, or null
};

// pavucontrol's tabs: 3 shows the output devices, 4 the input devices.
const std::vector<Candidate>& CandidatesOf(SoundPanel panel)
{
    static const std::vector<Candidate> settings = {
        {"gnome-control-center", "sound", nullptr},
        {"pavucontrol", "-t 3", nullptr},
        {"x-terminal-emulator", "-e alsamixer", "alsamixer"},
    };
    static const std::vector<Candidate> volume = {
        {"pavucontrol", "-t 3", nullptr},
        {"x-terminal-emulator", "-e alsamixer", "alsamixer"},
        {"gnome-control-center", "sound", nullptr},
    };
    static const std::vector<Candidate> recording = {
        {"pavucontrol", "-t 4", nullptr},
        {"x-terminal-emulator", "-e alsamixer -V capture", "alsamixer"},
        {"gnome-control-center", "sound", nullptr},
    };
    switch (panel)
    {
    case SoundPanel::Settings:
        return settings;
    case SoundPanel::Volume:
        return volume;
    case SoundPanel::Recording:
    default:
        return recording;
    }
}
}  // namespace

std::optional<SoundTool> FindSoundTool(SoundPanel panel)
{
    for (const Candidate& candidate : CandidatesOf(panel))
    {
        std::string program = FindProgramOnPath(candidate.pszProgram);
        if (program.empty() || (candidate.pszAlsoNeeded && FindProgramOnPath(candidate.pszAlsoNeeded).empty()))
            continue;
        return SoundTool{program, candidate.pszParameters};
    }
    return std::nullopt;
}

bool OpenSoundPanel(SoundPanel panel, HWND hOwner)
{
    std::optional<SoundTool> tool = FindSoundTool(panel);
    if (!tool)
        return false;
    ShellExecuteA(hOwner, "open", tool->program.c_str(), tool->parameters.c_str(), "", SW_SHOWNORMAL);
    return true;
}
