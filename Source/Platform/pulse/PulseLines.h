// How the sound server's sources become the lines of the recording mixer:
// their names, kinds and order. Plain records, no PulseAudio header, so the
// rules can be checked without a server.
//
// Threads: pure functions, any thread.
#pragma once
#include "mmsystem.h"

#include <string>
#include <vector>

namespace winmm::pulse
{
struct SinkEntry
{
    std::string name;
    std::string description;
};

struct SourceEntry
{
    std::string name;
    std::string description;
    std::string monitorOf;   // the output whose monitor this is; empty for an input
    DWORD channels = 2;
    std::string formFactor;  // the server's "device.form_factor" ("microphone", "headset"...), if any
};

struct LineEntry
{
    std::string source;  // the server's name of the source
    std::string name;    // the line's name, unique, fitting a mixer name field
    DWORD componentType = MIXERLINE_COMPONENTTYPE_SRC_LINE;
    DWORD channels = 2;
    bool both = false;   // "Stereo Mix + Microphone": source is kBothSource
};

// The source name of the "Stereo Mix + Microphone" line; no server source can carry it.
extern const char* const kBothSource;

// The lines in order: "Stereo Mix" (the monitor of the default output) first, so
// the default line choice (the first line containing "Mix") records what the
// computer plays; then "Stereo Mix + Microphone" (that monitor and the default
// input at once) when the default source is another source than that monitor;
// then the other sources in the server's order. Other monitors are
// "Stereo Mix (<output description>)", inputs keep their descriptions.
std::vector<LineEntry> MakeLines(const std::vector<SourceEntry>& sources, const std::vector<SinkEntry>& sinks,
                                 const std::string& defaultSink, const std::string& defaultSource = std::string());


// The device's product name for the server's own name: "PulseAudio Sound Server",
// "PipeWire Sound Server", always short enough for the 32-byte field.
std::string DeviceNameFor(const std::string& serverName);
}  // namespace winmm::pulse
