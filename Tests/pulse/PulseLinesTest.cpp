// How the server's sources become mixer lines and its name the device's name,
// and how the line volume maps onto a source's volume; no server needed.
#include "PulseLines.h"
#include "PulseWaveIn.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace winmm::pulse;

namespace
{
SourceEntry Monitor(const std::string& sink)
{
    SourceEntry s;
    s.name = sink + ".monitor";
    s.description = "Monitor of " + sink;
    s.monitorOf = sink;
    return s;
}

SourceEntry Input(const std::string& name, const std::string& description, DWORD channels = 2,
                  const std::string& formFactor = "")
{
    SourceEntry s;
    s.name = name;
    s.description = description;
    s.channels = channels;
    s.formFactor = formFactor;
    return s;
}

bool IsWholeUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size())
    {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}
}  // namespace

TEST(PulseLines, TheDefaultOutputsMonitorIsStereoMixAndComesFirst)
{
    std::vector<SinkEntry> sinks = {{"hdmi", "HDMI Output"}, {"speakers", "Built-in Audio Analog Stereo"}};
    std::vector<SourceEntry> sources = {Input("mic", "Built-in Microphone", 1, "microphone"), Monitor("hdmi"),
                                        Monitor("speakers"), Input("line", "Line Input")};
    std::vector<LineEntry> lines = MakeLines(sources, sinks, "speakers");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("Stereo Mix", lines[0].name);
    EXPECT_EQ("speakers.monitor", lines[0].source);
    EXPECT_EQ(DWORD(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT), lines[0].componentType);
    EXPECT_EQ("Built-in Microphone", lines[1].name);
    EXPECT_EQ(DWORD(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE), lines[1].componentType);
    EXPECT_EQ(1u, lines[1].channels);
    EXPECT_EQ("Stereo Mix (HDMI Output)", lines[2].name);
    EXPECT_EQ("hdmi.monitor", lines[2].source);
    EXPECT_EQ("Line Input", lines[3].name);
    EXPECT_EQ(DWORD(MIXERLINE_COMPONENTTYPE_SRC_LINE), lines[3].componentType);
}

TEST(PulseLines, WithoutADefaultOutputEveryMonitorNamesItsOutput)
{
    std::vector<LineEntry> lines = MakeLines({Monitor("a")}, {{"a", "Output A"}}, "");
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("Stereo Mix (Output A)", lines[0].name);
}

TEST(PulseLines, LongNamesAreCutToTheFieldWithoutSplittingACharacter)
{
    // 60 ASCII bytes, then characters of two and three bytes across the cut.
    std::string longText = std::string(60, 'x') + "\xC3\xA9\xE2\x82\xAC\xC3\xA9";
    std::vector<LineEntry> lines =
        MakeLines({Monitor("out"), Monitor("other"), Input("in", longText)}, {{"other", longText}}, "out");
    ASSERT_EQ(3u, lines.size());
    for (const LineEntry& line : lines)
    {
        EXPECT_LE(line.name.size(), size_t(MIXER_LONG_NAME_CHARS - 1)) << line.name;
        EXPECT_TRUE(IsWholeUtf8(line.name)) << line.name;
    }
    EXPECT_EQ("Stereo Mix (" + std::string(50, 'x') + ")", lines[1].name);
    EXPECT_EQ(std::string(60, 'x') + "\xC3\xA9", lines[2].name);
}

TEST(PulseLines, SourcesSharingADescriptionGetNamesOfTheirOwn)
{
    std::vector<LineEntry> lines = MakeLines(
        {Input("usb1", "USB Microphone"), Input("usb2", "USB Microphone"), Input("usb3", "USB Microphone"),
         Input("long1", std::string(70, 'y')), Input("long2", std::string(70, 'y'))},
        {}, "");
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("USB Microphone", lines[0].name);
    EXPECT_EQ("USB Microphone #2", lines[1].name);
    EXPECT_EQ("USB Microphone #3", lines[2].name);
    EXPECT_EQ(std::string(63, 'y'), lines[3].name);
    EXPECT_EQ(std::string(60, 'y') + " #2", lines[4].name);
}

TEST(PulseLines, TheDeviceIsNamedAfterTheServer)
{
    EXPECT_EQ("PulseAudio Sound Server", DeviceNameFor("pulseaudio"));
    EXPECT_EQ("PipeWire Sound Server", DeviceNameFor("PulseAudio (on PipeWire 1.0.5)"));
    std::string other = DeviceNameFor("A very long name of some other sound server");
    EXPECT_LE(other.size(), size_t(MAXPNAMELEN - 1));
    EXPECT_EQ(" Sound Server", other.substr(other.size() - 13));
}

TEST(PulseLines, TheLineVolumeIsTheSourcesGainAsALinearFactor)
{
    EXPECT_EQ(PA_VOLUME_NORM, VolumeFromControl(65535));
    EXPECT_EQ(PA_VOLUME_MUTED, VolumeFromControl(0));
    // Half the control range is half the amplitude: -6 dB.
    EXPECT_NEAR(-6.02, 20 * std::log10(pa_sw_volume_to_linear(VolumeFromControl(32767))), 0.01);
    EXPECT_NEAR(-20.0, 20 * std::log10(pa_sw_volume_to_linear(VolumeFromControl(6554))), 0.01);
    for (DWORD v : {0u, 1000u, 32767u, 50000u, 65535u})
        EXPECT_NEAR(double(v), double(ControlFromVolume(VolumeFromControl(v))), 2.0) << v;
    // A source turned up beyond 100% reads as the top of the range.
    EXPECT_EQ(65535u, ControlFromVolume(PA_VOLUME_NORM * 2));
}
