// Mixer lines: which line a recording takes, and how it is prepared.
#include "CaptureFakes.h"
#include "Mixer.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using winmm::virt::DeviceSpec;
using winmm::virt::LineSpec;

namespace
{
LineSpec Line(const std::string& name, DWORD type = MIXERLINE_COMPONENTTYPE_SRC_LINE, double frequency = 1000)
{
    LineSpec l;
    l.name = name;
    l.componentType = type;
    l.frequencies = {frequency};
    return l;
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
    void SetUp() override { m_saved = theSettings; }
    void TearDown() override
    {
        FreeDevices();
        winmm::virt::Restore();
        theSettings = m_saved;
    }
    std::vector<winmm::virt::CVirtualWaveIn::LineState> State() { return winmm::virt::Device(0)->Lines(); }
    CMixer& Mixer() { return EnumDevices().at(0)->GetMixer(); }

    RecorderSettings m_saved;
    CMessageRecorder m_messages;
};

TEST_F(MixerLines, TheDefaultLineIsTheFirstWhoseNameContainsMixInThatCase)
{
    Use({DeviceWith({Line("Microphone"), Line("Line In"), Line("Stereo Mix"), Line("Wave Out Mix")}),
         DeviceWith({Line("mixer"), Line("Microphone")})});
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(device, line));
    EXPECT_EQ("Vorane Virtual Input", device);
    EXPECT_EQ("Stereo Mix", line);
    EXPECT_EQ(EnumDevices()[0], GetCurrentDevice());

    theSettings.DeviceIndex = 1;
    EXPECT_FALSE(SelectCurrentDevice(device, line));
    EXPECT_EQ("", line);
    EXPECT_EQ(EnumDevices()[1], GetCurrentDevice()) << "the device stays chosen";

    theSettings.DeviceIndex = 2;
    EXPECT_FALSE(SelectCurrentDevice(device, line));
    EXPECT_EQ(nullptr, GetCurrentDevice()) << "no device at that position";
}

TEST_F(MixerLines, ALineIndexIsAPositionInTheListedLines)
{
    Use({DeviceWith({Line("SW Synth", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER), Line("Microphone"),
                     Line("Line In")})});
    theSettings.LineIndex = 1;
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(device, line));
    EXPECT_EQ("Line In", line) << "the synthesizer is not listed, so positions are not source numbers";
    theSettings.LineIndex = 2;
    EXPECT_FALSE(SelectCurrentDevice(device, line));
}

TEST_F(MixerLines, SynthesizersAndUnreadableSourcesAreNotListed)
{
    LineSpec broken = Line("Broken");
    broken.failInfo = true;
    Use({DeviceWith({Line("Microphone"), Line("SW Synth", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER), broken,
                     Line("Stereo Mix")})});
    CMixer& mixer = Mixer();
    ASSERT_EQ(2u, mixer.GetLineCount());
    EXPECT_STREQ("Microphone", mixer.GetLine(0)->Name());
    EXPECT_STREQ("Stereo Mix", mixer.GetLine(1)->Name());
    mixer.Open();
    EXPECT_EQ(2u, mixer.GetLineCount()) << "opening an open mixer lists nothing again";
    mixer.Close();
    EXPECT_EQ(0u, mixer.GetLineCount());
    EXPECT_FALSE(mixer.IsOpen());
}

TEST_F(MixerLines, FindLineWantsTheExactName)
{
    Use({winmm::virt::DefaultDevice()});
    CMixer& mixer = Mixer();
    EXPECT_STREQ("Line In", mixer.FindLine("Line In")->Name());
    for (const char* pszName : {"line in", "Line", static_cast<const char*>(nullptr)})
    {
        try
        {
            mixer.FindLine(pszName);
            ADD_FAILURE() << (pszName ? pszName : "(none)") << " was found";
        }
        catch (const char* pszText)
        {
            EXPECT_STREQ("Mixer's line not found.", pszText);
        }
    }
}

TEST_F(MixerLines, VolumeIsAShareOfTheControlsRange)
{
    LineSpec narrow = Line("Narrow");
    narrow.minimum = 1000;
    narrow.maximum = 2000;
    narrow.volume = 1000;
    LineSpec perChannel = Line("Per Channel");
    perChannel.uniform = false;
    perChannel.volume = 0;
    Use({DeviceWith({Line("Full"), narrow, perChannel})});
    CMixer& mixer = Mixer();
    mixer.GetLine(0)->SetVolume(50);
    EXPECT_EQ((std::vector<DWORD>{32767, 32767}), State()[0].volume);
    mixer.GetLine(0)->SetVolume(150);
    EXPECT_EQ((std::vector<DWORD>{65535, 65535}), State()[0].volume) << "above 100 counts as 100";
    mixer.GetLine(1)->SetVolume(50);
    EXPECT_EQ((std::vector<DWORD>{1500, 1500}), State()[1].volume);
    mixer.GetLine(2)->SetVolume(25);
    EXPECT_EQ((std::vector<DWORD>{16383, 16383}), State()[2].volume) << "each channel is set";
}

TEST_F(MixerLines, UnmuteClearsTheMuteOfEveryChannel)
{
    LineSpec muted = Line("Muted");
    muted.muted = true;
    muted.uniform = false;
    LineSpec bare = Line("No Controls");
    bare.hasMute = false;
    bare.hasVolume = false;
    Use({DeviceWith({muted, bare})});
    CMixer& mixer = Mixer();
    mixer.GetLine(0)->Unmute();
    EXPECT_EQ((std::vector<bool>{false, false}), State()[0].muted);
    // A line without the controls is simply left as it is.
    mixer.GetLine(1)->Unmute();
    mixer.GetLine(1)->SetVolume(10);
    EXPECT_EQ((std::vector<DWORD>{65535, 65535}), State()[1].volume);
}

TEST_F(MixerLines, AnExclusiveSourceControlSelectsOnlyTheLine)
{
    // Uniform or per channel, the line chosen is the line recorded.
    for (bool bUniform : {true, false})
    {
        DeviceSpec spec = DeviceWith({Line("Microphone"), Line("Line In"), Line("Stereo Mix")});
        spec.sourceControlUniform = bUniform;
        Use({spec});
        Mixer().FindLine("Line In")->SelectAsSource();
        auto lines = State();
        EXPECT_FALSE(lines[0].selected) << "uniform " << bUniform;
        EXPECT_TRUE(lines[1].selected) << "uniform " << bUniform;
        EXPECT_FALSE(lines[2].selected) << "uniform " << bUniform;
        FreeDevices();
    }
}

TEST_F(MixerLines, AMixingSourceControlKeepsTheOtherSources)
{
    DeviceSpec spec = DeviceWith({Line("Microphone"), Line("Line In"), Line("Stereo Mix")});
    spec.sourceControlType = MIXERCONTROL_CONTROLTYPE_MIXER;
    spec.selected = {true, false, false};
    Use({spec});
    Mixer().FindLine("Stereo Mix")->SelectAsSource();
    auto lines = State();
    EXPECT_TRUE(lines[0].selected);
    EXPECT_FALSE(lines[1].selected);
    EXPECT_TRUE(lines[2].selected);
}

TEST_F(MixerLines, AMixerThatCannotOpenIsReportedAndFreesTheGlobalLock)
{
    DeviceSpec spec = winmm::virt::DefaultDevice();
    spec.mixerOpens = false;
    Use({spec});
    std::string device, line;
    try
    {
        SelectCurrentDevice(device, line);
        FAIL() << "no error";
    }
    catch (const char* pszText)
    {
        EXPECT_STREQ("Can't open Mixer Device.", pszText);
    }
    bool bLocked = false;
    std::thread other([&] {
        bLocked = GlobalDeviceLock().try_lock();
        if (bLocked)
            GlobalDeviceLock().unlock();
    });
    other.join();
    EXPECT_TRUE(bLocked);
}

// Recording after the preparation: what the chosen line really sounds like.
class PreparedRecording : public MixerLines
{
protected:
    std::vector<float> Record(int nSeconds, DWORD nVolume)
    {
        PrepareRecordingLine(CAPTURE_MODE_WAV, 1, 22050, 16, nVolume);
        CFakeReceiver receiver;
        CDeviceThread capture;
        capture.StartCapture(&receiver);
        winmm::virt::AdvanceClock(nSeconds);
        capture.StopCapture();
        EXPECT_TRUE(capture.WaitForCaptureEnd(10000));
        EXPECT_EQ(static_cast<size_t>(nSeconds), receiver.sizes.size());
        return FirstChannel(receiver.data.data(), receiver.data.size(), 1, 16);
    }
};

TEST_F(PreparedRecording, EachLineIsHeardWithItsOwnSignal)
{
    Use({winmm::virt::DefaultDevice()});
    theSettings.LineIndex = 1;
    EXPECT_NEAR(1000, DominantFrequency(Record(1, 100), 22050), 5) << "Line In";
    theSettings.LineIndex = -1;
    EXPECT_NEAR(1500, DominantFrequency(Record(1, 100), 22050), 5) << "Stereo Mix";
    theSettings.LineIndex = 0;
    EXPECT_NEAR(440, DominantFrequency(Record(1, 100), 22050), 5) << "Microphone";
}

TEST_F(PreparedRecording, HalfTheVolumeIsSixDecibelsDown)
{
    Use({winmm::virt::DefaultDevice()});
    double full = Rms(Record(1, 100));
    double half = Rms(Record(1, 50));
    ASSERT_GT(full, 0.1);
    EXPECT_NEAR(-6.02, 20 * std::log10(half / full), 1.0);
}

TEST_F(PreparedRecording, AMutedLineIsHeardOnceUnmuted)
{
    DeviceSpec spec = winmm::virt::DefaultDevice();
    spec.lines[2].muted = true;  // Stereo Mix
    Use({spec});
    EXPECT_GT(Rms(Record(1, 100)), 0.1);
}

TEST_F(PreparedRecording, NoUsableDeviceIsADeviceError)
{
    Use({});
    try
    {
        PrepareRecordingLine(CAPTURE_MODE_MP3, 2, 44100, 16, 100);
        FAIL() << "no error";
    }
    catch (const char* pszText)
    {
        EXPECT_STREQ("Device error.", pszText);
    }
}
