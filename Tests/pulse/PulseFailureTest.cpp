// When the sound server or a source goes away: a recording under way keeps every
// whole second in a valid file and the user hears of it once; a line that went
// away since it was listed is not found; the device works again once the server
// is back.
#include "Mixer.h"
#include "PulseTestSupport.h"
#include "PulseWaveIn.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <cstdlib>
#include <filesystem>

namespace
{
const std::string kExtraOutput = "vorane_extra";

class PulseFailures : public CPulseTest
{
protected:
    void TearDown() override
    {
        m_tone.Stop();
        if (!m_extraModule.empty())
            TheDaemon().Pactl("unload-module " + m_extraModule);
        CPulseTest::TearDown();
    }

    // A third output, "Extra", that the test can take away again.
    void AddExtraOutput()
    {
        std::string index;
        ASSERT_EQ(0, TheDaemon().Pactl("load-module module-null-sink sink_name=" + kExtraOutput +
                                           " sink_properties=device.description=Extra",
                                       &index));
        m_extraModule = std::to_string(std::atoi(index.c_str()));
    }
    void RemoveExtraOutput()
    {
        ASSERT_EQ(0, TheDaemon().Pactl("unload-module " + m_extraModule));
        m_extraModule.clear();
    }

    // Starts a WAV recording of the prepared line and waits for its second buffer.
    void StartRecording(CDeviceThread& capture)
    {
        m_receiver.FileName = m_folder.File("Audio0.wav");
        m_receiver.CaptureFormat = GetCurrentDevice()->Format();
        m_receiver.FormatSet = 1;
        SetWaveformView(&m_view);
        capture.StartCapture(&m_receiver);
        ASSERT_TRUE(m_view.WaitForBuffers(2));
    }
    void StopRecording(CDeviceThread& capture)
    {
        capture.StopCapture();
        capture.WaitForCaptureEnd();
        SetWaveformView(nullptr);
    }

    // The file holds exactly the whole seconds handed on, in a header that matches it.
    void ExpectWholeSecondsOf(double dFrequency)
    {
        std::vector<uint8_t> bytes = ReadFileBytes(m_receiver.FileName);
        ASSERT_GE(bytes.size(), 44u);
        EXPECT_EQ(bytes.size() - 8, LE32(bytes.data() + 4));
        EXPECT_EQ(bytes.size() - 44, LE32(bytes.data() + 40));
        EXPECT_GE(m_view.Buffers(), 2);
        EXPECT_EQ(static_cast<size_t>(m_view.Buffers()) * 176400, bytes.size() - 44);
        DecodedAudio audio = DecodeFile(m_receiver.FileName);
        ASSERT_TRUE(audio.ok) << audio.error;
        EXPECT_NEAR(m_view.Buffers(), audio.duration, 1e-6);
        EXPECT_NEAR(dFrequency, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
    }

    CTempFolder m_folder{TestFolderName("pulse-failures")};
    CTonePlayer m_tone;
    CReceiverWAV m_receiver;
    CBufferCounter m_view;
    std::string m_extraModule;
};

TEST_F(PulseFailures, AServerKilledMidRecordingLeavesWholeSecondsAndOneMessage)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CMessageWaiter messages;
    PrepareRecordingLine(CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    CDeviceThread capture;
    StartRecording(capture);

    TheDaemon().Kill();
    ASSERT_TRUE(messages.WaitFor(1));
    StopRecording(capture);

    ASSERT_EQ(1u, messages.Texts().size());
    EXPECT_EQ(winmm::pulse::MSG_SERVER_LOST, messages.Texts()[0]);
    ExpectWholeSecondsOf(1000);
}

TEST_F(PulseFailures, WhileTheServerIsGoneTheDeviceFailsWithTheEnginesMessageAndRecordsAgainOnceItIsBack)
{
    CMessageRecorder messages;
    TheDaemon().Kill();
    ASSERT_EQ("PulseAudio Sound Server", std::string(EnumDevices().at(0)->Name()));
    const char* pszError = nullptr;
    try
    {
        PrepareRecordingLine(CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    }
    catch (const char* pszText)
    {
        pszError = pszText;
    }
    ASSERT_NE(nullptr, pszError);
    EXPECT_STREQ("Can't open Mixer Device.", pszError);

    // The same socket answers again: the next recording connects anew.
    ASSERT_TRUE(TheDaemon().Start()) << TheDaemon().Log();
    ASSERT_EQ(0, TheDaemon().Pactl(std::string("set-default-sink ") + CPulseDaemon::kOutput));
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    DecodedAudio audio = RecordWav(m_folder.File("Audio1.wav"), 2);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(PulseFailures, ASourceRemovedMidRecordingLeavesWholeSecondsAndOneMessage)
{
    AddExtraOutput();
    ASSERT_TRUE(m_tone.Play(kExtraOutput, 1500));
    theSettings.LineIndex = LineIndexOf("Stereo Mix (Extra)");
    ASSERT_GE(theSettings.LineIndex, 0);
    CMessageWaiter messages;
    PrepareRecordingLine(CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    CDeviceThread capture;
    StartRecording(capture);

    RemoveExtraOutput();
    ASSERT_TRUE(messages.WaitFor(1));
    StopRecording(capture);

    ASSERT_EQ(1u, messages.Texts().size());
    EXPECT_EQ(winmm::pulse::MSG_SOURCE_LOST, messages.Texts()[0]);
    ExpectWholeSecondsOf(1500);
}

TEST_F(PulseFailures, ALineThatWentAwaySinceItWasListedIsNotFound)
{
    AddExtraOutput();
    ASSERT_GE(LineIndexOf("Stereo Mix (Extra)"), 0);  // as the settings page lists it
    RemoveExtraOutput();

    CMixer& mixer = EnumDevices().at(0)->GetMixer();
    const char* pszError = nullptr;
    try
    {
        mixer.FindLine("Stereo Mix (Extra)");
    }
    catch (const char* pszText)
    {
        pszError = pszText;
    }
    mixer.Close();
    EXPECT_STREQ("Mixer's line not found.", pszError);
}

TEST_F(PulseFailures, ALineThatWentAwayAfterItWasSelectedCannotOpenAndTheNextRecordingWorks)
{
    AddExtraOutput();
    theSettings.LineIndex = LineIndexOf("Stereo Mix (Extra)");
    ASSERT_GE(theSettings.LineIndex, 0);
    PrepareRecordingLine(CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    RemoveExtraOutput();
    {
        CMessageRecorder messages;
        CDeviceThread capture;
        m_receiver.FileName = m_folder.File("Audio0.wav");
        capture.StartCapture(&m_receiver);
        capture.StopCapture();
        capture.WaitForCaptureEnd();
        EXPECT_EQ(std::vector<std::string>{"Cannot open device"}, messages.Texts());
    }
    EXPECT_FALSE(std::filesystem::exists(m_receiver.FileName));

    theSettings.LineIndex = -1;
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    DecodedAudio audio = RecordWav(m_folder.File("Audio1.wav"), 2);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
}
}  // namespace
