// Mixer lines: which line a recording takes, and how it is prepared.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <thread>

using winmm::virt::DeviceSpec;
using winmm::virt::LineSpec;

namespace
{
LineSpec Line(const std::string& name, DWORD type = MIXERLINE_COMPONENTTYPE_SRC_LINE)
{
    return LineSpec{name, type, {1000}};
}

DeviceSpec DeviceWith(std::vector<LineSpec> lines)
{
    DeviceSpec spec;
    spec.lines = std::move(lines);
    return spec;
}
}  // namespace

class MixerLines : public ::testing::Test
{
protected:
    void Use(const std::vector<DeviceSpec>& devices)
    {
        FreeDevices();
        winmm::virt::SetDevices(devices);
        winmm::virt::UseManualClock(true);
    }
    void TearDown() override
    {
        FreeDevices();
        winmm::virt::Restore();
    }
    std::vector<winmm::virt::CVirtualWaveIn::LineState> State() { return winmm::virt::Device(0)->Lines(); }
    CMixer& Mixer() { return EnumDevices().at(0)->GetMixer(); }

    CSettingsScope m_settings;
    CMessageRecorder m_messages;
};

// Without names, the line is the first with "Mix" in that case or a position among the listed lines (no
// synthesizer). A device and line kept by name are found wherever the lists now have them (the position kept
// too, while it still carries the name, so two devices of one name stay apart); a gone device gives the default
// device and line, a gone line the device's default line. A choice that cannot be met leaves no other device current.
TEST_F(MixerLines, AChoiceKeptByNameIsFoundInAListInAnotherOrderAndAGoneOneFallsBackToTheDefault)
{
    auto named = [](const std::string& name, std::vector<LineSpec> lines) {
        DeviceSpec spec = DeviceWith(std::move(lines));
        spec.name = name;
        return spec;
    };
    const DeviceSpec card = named("Card", {Line("Microphone"), Line("Line In"), Line("Stereo Mix")});
    const DeviceSpec usb = named("USB", {Line("Capture"), Line("Aux"), Line("Monitor Mix")});
    const DeviceSpec usb2 = named("USB", {Line("Mic"), Line("Aux")});
    const DeviceSpec synth = DeviceWith({Line("SW Synth", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER), Line("Microphone"),
                                         Line("Line In"), Line("Stereo Mix"), Line("Wave Out Mix")});
    const DeviceSpec noMix = DeviceWith({Line("mixer"), Line("Microphone")});
    const struct
    {
        std::vector<DeviceSpec> devices;
        int device, line;
        const char *deviceName, *lineName;
        int chosen;  // the device's position, -1 for none
        const char* chosenLine;  // "": refused
    } cases[] = {
        {{synth, noMix}, 0, -1, "", "", 0, "Stereo Mix"},
        {{synth, noMix}, 0, 1, "", "", 0, "Line In"},          // the synthesizer is not listed
        {{synth, noMix}, 0, 4, "", "", 0, ""},
        {{synth, noMix}, 1, -1, "", "", 1, ""},                // the device stays chosen
        {{synth, noMix}, 2, -1, "", "", -1, ""},
        {{card, usb}, 0, -1, "USB", "Aux", 1, "Aux"},           // after a restart: no positions kept
        {{usb, card}, 1, 1, "USB", "Aux", 0, "Aux"},            // the list in another order
        {{card, usb, usb2}, 2, 1, "USB", "Aux", 2, "Aux"},      // the kept position still carries the name
        {{usb, card}, 1, 2, "Card", "Microphone", 1, "Microphone"},
        {{card}, 1, 1, "USB", "Aux", 0, "Stereo Mix"},          // the device is gone
        {{card, usb}, 1, 1, "USB", "Line 2", 1, "Monitor Mix"}, // the line is gone
        {{card, usb}, 1, 0, "", "", 1, "Capture"},              // no names: the positions
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.device) + ":" + c.deviceName + "/" + std::to_string(c.line) + ":" + c.lineName);
        Use(c.devices);
        SetCurrentDevice(EnumDevices().at(0));
        std::tie(theSettings.DeviceIndex, theSettings.LineIndex) = std::make_tuple(c.device, c.line);
        std::tie(theSettings.DeviceName, theSettings.LineName) = std::make_tuple(c.deviceName, c.lineName);
        std::string device, line;
        EXPECT_EQ(*c.chosenLine != 0, SelectCurrentDevice(CurrentLineChoice(), device, line));
        EXPECT_EQ(c.chosenLine, line);
        EXPECT_EQ(c.chosen < 0 ? nullptr : EnumDevices().at(static_cast<size_t>(c.chosen)), GetCurrentDevice());
    }
}

TEST_F(MixerLines, SynthesizersAndUnreadableSourcesAreNotListedAndFindLineWantsTheExactName)
{
    LineSpec broken = Line("Broken");
    broken.failInfo = true;
    Use({DeviceWith({Line("Microphone"), Line("SW Synth", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER), broken,
                     Line("Stereo Mix")})});
    CMixer& mixer = Mixer();
    ASSERT_EQ(2u, mixer.GetLineCount());
    EXPECT_EQ((std::vector<std::string>{"Microphone", "Stereo Mix"}),
              (std::vector<std::string>{mixer.GetLine(0)->Name(), mixer.GetLine(1)->Name()}));
    EXPECT_STREQ("Stereo Mix", mixer.FindLine("Stereo Mix")->Name());
    for (const char* pszName : {"stereo mix", "Stereo", static_cast<const char*>(nullptr)})
        EXPECT_EQ("Mixer's line not found.", ThrownText([&] { mixer.FindLine(pszName); })) << (pszName ? pszName : "-");
}

TEST_F(MixerLines, VolumeIsAShareOfTheRangeOnEveryChannelAndUnmuteClearsEveryChannel)
{
    LineSpec narrow = Line("Narrow"), perChannel = Line("Per Channel"), muted = Line("Muted"), bare = Line("Bare");
    narrow.minimum = 1000;
    narrow.maximum = 2000;
    narrow.volume = 1000;
    perChannel.uniform = muted.uniform = false;
    perChannel.volume = 0;
    muted.muted = true;
    bare.hasMute = bare.hasVolume = false;
    Use({DeviceWith({Line("Full"), narrow, perChannel, muted, bare})});
    CMixer& mixer = Mixer();
    const struct
    {
        size_t line;
        DWORD percent, expected;
    } cases[] = {{0, 50, 32767}, {0, 150, 65535} /* above 100 counts as 100 */, {1, 50, 1500}, {2, 25, 16383},
                 {4, 10, 65535} /* no controls: left alone */};
    for (const auto& c : cases)
    {
        mixer.GetLine(c.line)->SetVolume(c.percent);
        EXPECT_EQ((std::vector<DWORD>{c.expected, c.expected}), State()[c.line].volume) << c.line << " " << c.percent;
    }
    mixer.GetLine(3)->Unmute();
    mixer.GetLine(4)->Unmute();
    EXPECT_EQ((std::vector<bool>{false, false}), State()[3].muted);
}

TEST_F(MixerLines, SelectingASourceSelectsOnlyThatLineOnAnExclusiveControlAndAddsItOnAMixingOne)
{
    const struct
    {
        DWORD type;
        bool uniform;
        std::vector<bool> expected;
    } cases[] = {{MIXERCONTROL_CONTROLTYPE_MUX, true, {false, true, false}},
                 {MIXERCONTROL_CONTROLTYPE_MUX, false, {false, true, false}},  // per channel
                 {MIXERCONTROL_CONTROLTYPE_MIXER, true, {true, true, false}}};
    for (const auto& c : cases)
    {
        DeviceSpec spec = DeviceWith({Line("Microphone"), Line("Line In"), Line("Stereo Mix")});
        spec.sourceControlType = c.type;
        spec.sourceControlUniform = c.uniform;
        spec.selected = {true, false, false};
        Use({spec});
        Mixer().FindLine("Line In")->SelectAsSource();
        auto lines = State();
        EXPECT_EQ(c.expected, (std::vector<bool>{lines[0].selected, lines[1].selected, lines[2].selected}))
            << c.type << " uniform " << c.uniform;
    }
}

TEST_F(MixerLines, AMixerThatCannotOpenOrNoDeviceIsReportedAndFreesTheGlobalLock)
{
    Use({});
    EXPECT_EQ("Device error.", ThrownText([] { PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_MP3, 2, 44100, 16, 100); }));
    DeviceSpec spec = winmm::virt::DefaultDevice();
    spec.mixerOpens = false;
    Use({spec});
    std::string device, line;
    EXPECT_EQ("Can't open Mixer Device.", ThrownText([&] { SelectCurrentDevice(CurrentLineChoice(), device, line); }));
    bool bLocked = false;
    std::thread other([&] {
        bLocked = GlobalDeviceLock().try_lock();
        if (bLocked)
            GlobalDeviceLock().unlock();
    });
    other.join();
    EXPECT_TRUE(bLocked);
}

// A recording leaves the system as it found it: the line's mute and volume on each channel and
// the source selection come back, on a uniform and a per-channel line alike.
TEST_F(MixerLines, WhatThePreparationChangedOnTheLineIsPutBack)
{
    for (bool bUniform : {true, false})
    {
        SCOPED_TRACE(bUniform ? "uniform" : "per channel");
        DeviceSpec spec = DeviceWith({Line("Microphone"), Line("Line In"), Line("Stereo Mix")});
        spec.lines[2].uniform = bUniform;
        spec.lines[2].muted = true;
        spec.lines[2].volume = 20000;
        spec.selected = {true, false, false};
        Use({spec});
        theSettings.LineIndex = -1;  // "Stereo Mix"
        const auto before = State();
        LineSnapshot snapshot;
        PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_MP3, 2, 44100, 16, 50, &snapshot);
        auto during = State();
        ASSERT_EQ((std::vector<bool>{false, false}), during[2].muted);
        ASSERT_EQ(32767u, during[2].volume[0]);
        ASSERT_TRUE(during[2].selected && !during[0].selected);

        RestoreRecordingLine(snapshot);
        const auto after = State();
        for (size_t i = 0; i < after.size(); ++i)
            EXPECT_EQ(std::make_tuple(before[i].volume, before[i].muted, before[i].selected),
                      std::make_tuple(after[i].volume, after[i].muted, after[i].selected))
                << after[i].spec.name;
        EXPECT_FALSE(Mixer().GetLineCount() == 0) << "the mixer opens again";
        Mixer().Close();
    }
    // A device that went away has nothing to put back, and nothing fails.
    DeviceSpec spec = DeviceWith({Line("Stereo Mix")});
    Use({spec});
    LineSnapshot snapshot;
    PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_MP3, 2, 44100, 16, 100, &snapshot);
    Use({});
    RestoreRecordingLine(snapshot);
    EXPECT_TRUE(m_messages.Texts().empty());
}
