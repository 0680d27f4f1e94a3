#include "PulseLines.h"

#include "BothSources.h"
#include "Utf8.h"

#include <algorithm>
#include <set>

namespace winmm::pulse
{
namespace
{
// A mixer line name holds MIXER_LONG_NAME_CHARS bytes with the terminating zero.
constexpr size_t kMaxLineName = MIXER_LONG_NAME_CHARS - 1;
constexpr size_t kMaxDeviceName = MAXPNAMELEN - 1;
const char* const kStereoMix = "Stereo Mix";

bool Contains(const std::string& text, const char* pszPart)
{
    return text.find(pszPart) != std::string::npos;
}

DWORD KindOf(const SourceEntry& s)
{
    if (!s.monitorOf.empty())
        return MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    const std::string& f = s.formFactor;
    if (f == "microphone" || f == "headset" || f == "handset" || f == "webcam")
        return MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    return MIXERLINE_COMPONENTTYPE_SRC_LINE;
}

std::string BaseName(const SourceEntry& s, const std::vector<SinkEntry>& sinks, const std::string& defaultSink)
{
    if (s.monitorOf.empty())
        return CutUtf8(s.description.empty() ? s.name : s.description, kMaxLineName);
    if (s.monitorOf == defaultSink)
        return kStereoMix;
    std::string output;
    for (const SinkEntry& sink : sinks)
        if (sink.name == s.monitorOf)
            output = sink.description;
    if (output.empty())
        output = s.monitorOf;
    // The closing parenthesis stays when a long description is cut.
    const std::string head = std::string(kStereoMix) + " (";
    return head + CutUtf8(output, kMaxLineName - head.size() - 1) + ")";
}

// Two sources may share a description (two identical microphones); a suffix keeps
// every line reachable by its name.
std::string Unique(const std::string& name, std::set<std::string>& taken)
{
    if (taken.insert(name).second)
        return name;
    for (int n = 2;; ++n)
    {
        const std::string suffix = " #" + std::to_string(n);
        std::string candidate = CutUtf8(name, kMaxLineName - suffix.size()) + suffix;
        if (taken.insert(candidate).second)
            return candidate;
    }
}
}  // namespace

std::string DeviceNameFor(const std::string& serverName)
{
    if (Contains(serverName, "PipeWire"))
        return "PipeWire Sound Server";
    if (serverName.empty() || serverName == "pulseaudio" || Contains(serverName, "PulseAudio"))
        return "PulseAudio Sound Server";
    return CutUtf8(serverName, kMaxDeviceName - 13) + " Sound Server";
}

const char* const kBothSource = "<Stereo Mix + Microphone>";

std::vector<LineEntry> MakeLines(const std::vector<SourceEntry>& sources, const std::vector<SinkEntry>& sinks,
                                 const std::string& defaultSink, const std::string& defaultSource)
{
    std::vector<const SourceEntry*> ordered;
    for (const SourceEntry& s : sources)
        if (!s.monitorOf.empty() && s.monitorOf == defaultSink)
            ordered.push_back(&s);
    for (const SourceEntry& s : sources)
        if (s.monitorOf.empty() || s.monitorOf != defaultSink)
            ordered.push_back(&s);

    std::vector<LineEntry> lines;
    std::set<std::string> taken;
    for (const SourceEntry* s : ordered)
    {
        LineEntry line;
        line.source = s->name;
        line.name = Unique(BaseName(*s, sinks, defaultSink), taken);
        line.componentType = KindOf(*s);
        line.channels = s->channels >= 2 ? 2 : 1;
        lines.push_back(line);
        const bool bDefaultInput = std::any_of(sources.begin(), sources.end(), [&](const SourceEntry& input) {
            return input.name == defaultSource && input.name != s->name;
        });
        if (lines.size() == 1 && !s->monitorOf.empty() && s->monitorOf == defaultSink && bDefaultInput)
        {
            LineEntry both;
            both.source = kBothSource;
            both.name = Unique(BOTH_LINE_NAME, taken);
            both.componentType = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
            both.both = true;
            lines.push_back(both);
        }
    }
    return lines;
}
}  // namespace winmm::pulse
