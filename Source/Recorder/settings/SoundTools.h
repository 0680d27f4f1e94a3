// The desktop's own sound settings and mixers, which the Output formats page
// opens: the first of each panel's programs that is on PATH (FindProgramOnPath,
// so never one in the current folder). No wx.
//
//   sound settings:    gnome-control-center sound, pavucontrol (output devices tab),
//                      alsamixer in a terminal
//   volume control:    pavucontrol (output devices tab), alsamixer in a terminal,
//                      gnome-control-center sound
//   recording control: pavucontrol (input devices tab), alsamixer's capture view in a
//                      terminal, gnome-control-center sound
//
// Main thread only (PATH is read as it is at the call).
#pragma once
#include "windef.h"

#include <optional>
#include <string>

enum class SoundPanel
{
    Settings,
    Volume,
    Recording,
};

struct SoundTool
{
    std::string program;     // full path of the program found on PATH
    std::string parameters;  // its command line after the name
};

// The program that opens the panel here, or nothing when none is installed.
std::optional<SoundTool> FindSoundTool(SoundPanel panel);

// Opens the panel through the shell ("open", no working directory, normal
// window); false, and nothing happens, when no program for it is installed.
// The shell's result is not looked at: the program reports its own failures.
bool OpenSoundPanel(SoundPanel panel, HWND hOwner);
