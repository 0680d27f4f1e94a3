// Recording through the capture engine from the sound server: what an output
// plays comes back on its "Stereo Mix" line, in every capture format; the line's
// own volume and mute act on what is recorded; the selected line is the source
// recorded.
#include "LameEncoder.h"
#include "Mixer.h"
#include "PulseTestSupport.h"
#include "ReceiverMP3.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

namespace
{
class PulseRecording : public CPulseTest
{
protected:
    CTempFolder m_folder{TestFolderName("pulse-recording")};
    CTonePlayer m_tone;
};

TEST_F(PulseRecording, AToneOnTheDefaultOutputComesBackOnStereoMixAsWav)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CMessageRecorder messages;
    DecodedAudio audio = RecordWav(m_folder.File("Audio0.wav"), 3);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_EQ("pcm_s16le", audio.codec);
    EXPECT_EQ(44100, audio.sampleRate);
    EXPECT_EQ(2, audio.channels);
    EXPECT_NEAR(3.0, audio.duration, 1e-6);
    EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
    // The tone plays at half of full scale: about -9 dB RMS.
    EXPECT_NEAR(-9.0, LevelDb(audio), 1.5);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(PulseRecording, AToneOnTheDefaultOutputComesBackOnStereoMixAsMp3)
{
    SetLameLibraryPath(std::string(VORANE_APP_DIR) + "/liblame_enc.so");
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CMessageRecorder messages;
    PrepareRecordingLine(CAPTURE_MODE_MP3, 2, 44100, 16, 100);
    const std::string path = m_folder.File("Audio0.mp3");
    {
        CReceiverMP3 receiver(192, 0);
        receiver.FileName = path;
        EXPECT_EQ(3, CaptureInto(receiver, 3));
    }
    DecodedAudio audio = DecodeFile(path);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_EQ("mp3", audio.codec.substr(0, 3));
    EXPECT_EQ(44100, audio.sampleRate);
    EXPECT_NEAR(3.0, audio.duration, 0.1);
    EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(PulseRecording, EveryCaptureFormatOfTheProgramRecordsTheTone)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    struct Format
    {
        int channels, rate, bits;
        const char* codec;
    };
    const Format formats[] = {{1, 11025, 8, "pcm_u8"}, {2, 11025, 8, "pcm_u8"}, {1, 22050, 16, "pcm_s16le"},
                              {2, 44100, 8, "pcm_u8"}};
    int n = 0;
    for (const Format& f : formats)
    {
        SCOPED_TRACE(std::to_string(f.channels) + " ch, " + std::to_string(f.rate) + " Hz, " + std::to_string(f.bits) +
                     " bits");
        DecodedAudio audio = RecordWav(m_folder.File("Audio" + std::to_string(n++) + ".wav"), 2, f.channels, f.rate, f.bits);
        ASSERT_TRUE(audio.ok) << audio.error;
        EXPECT_EQ(f.codec, audio.codec);
        EXPECT_EQ(f.rate, audio.sampleRate);
        EXPECT_EQ(f.channels, audio.channels);
        EXPECT_NEAR(2.0, audio.duration, 1e-6);
        EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
    }
}

TEST_F(PulseRecording, HalfTheLineVolumeLowersTheRecordedLevelBySixDecibels)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    DecodedAudio full = RecordWav(m_folder.File("Audio0.wav"), 2, 2, 44100, 16, 100);
    DecodedAudio half = RecordWav(m_folder.File("Audio1.wav"), 2, 2, 44100, 16, 50);
    ASSERT_TRUE(full.ok && half.ok);
    EXPECT_NEAR(-6.02, LevelDb(half) - LevelDb(full), 0.5);
    EXPECT_NEAR(1000, DominantFrequency(half.firstChannel, half.sampleRate), 5);
    // The volume is the source's own: the server shows it (0.5 as a linear factor is 79% on its scale).
    std::string volume;
    ASSERT_EQ(0, TheDaemon().Pactl(std::string("get-source-volume ") + CPulseDaemon::kOutput + ".monitor", &volume));
    EXPECT_NE(std::string::npos, volume.find("79%")) << volume;
}

TEST_F(PulseRecording, UnmutingAMutedMonitorMakesTheToneAudibleAgain)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    const std::string monitor = std::string(CPulseDaemon::kOutput) + ".monitor";
    ASSERT_EQ(0, TheDaemon().Pactl("set-source-mute " + monitor + " 1"));

    // The line is chosen as the recording source but not unmuted: the source's own mute holds.
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(device, line));
    ASSERT_EQ("Stereo Mix", line);
    ASSERT_TRUE(GetCurrentDevice()->SetFormat(CAPTURE_MODE_WAV, 2, 44100, 16));
    CMixer& mixer = GetCurrentDevice()->GetMixer();
    mixer.FindLine("Stereo Mix")->SelectAsSource();
    mixer.Close();
    {
        CReceiverWAV receiver;
        receiver.FileName = m_folder.File("Audio0.wav");
        receiver.CaptureFormat = GetCurrentDevice()->Format();
        receiver.FormatSet = 1;
        CaptureInto(receiver, 2);
    }
    DecodedAudio muted = DecodeFile(m_folder.File("Audio0.wav"));
    ASSERT_TRUE(muted.ok) << muted.error;
    EXPECT_LT(LevelDb(muted), -60);

    // The preparation unmutes the line.
    DecodedAudio unmuted = RecordWav(m_folder.File("Audio1.wav"), 2);
    ASSERT_TRUE(unmuted.ok) << unmuted.error;
    EXPECT_NEAR(-9.0, LevelDb(unmuted), 1.5);
    EXPECT_NEAR(1000, DominantFrequency(unmuted.firstChannel, unmuted.sampleRate), 5);
    std::string mute;
    TheDaemon().Pactl("get-source-mute " + monitor, &mute);
    EXPECT_NE(std::string::npos, mute.find("no")) << mute;
}

TEST_F(PulseRecording, TheSelectedLineIsTheSourceRecorded)
{
    CTonePlayer second;
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    ASSERT_TRUE(second.Play(kSecondOutput, 2000));
    const struct
    {
        std::string line;
        double frequency;
    } expected[] = {{"Stereo Mix (Second Output)", 2000}, {"Sine source at 440 Hz", kSineFrequency}, {"Stereo Mix", 1000}};
    int n = 0;
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.line);
        theSettings.LineIndex = LineIndexOf(e.line);
        ASSERT_GE(theSettings.LineIndex, 0);
        DecodedAudio audio = RecordWav(m_folder.File("Audio" + std::to_string(n++) + ".wav"), 2);
        ASSERT_TRUE(audio.ok) << audio.error;
        EXPECT_NEAR(e.frequency, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
    }
}

TEST_F(PulseRecording, StoppingKeepsWholeSecondsAndTheElapsedTimeComesFromTheSamplePosition)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    PrepareRecordingLine(CAPTURE_MODE_WAV, 1, 22050, 16, 100);
    CReceiverWAV receiver;
    receiver.FileName = m_folder.File("Audio0.wav");
    receiver.CaptureFormat = GetCurrentDevice()->Format();
    receiver.FormatSet = 1;
    struct Stops : CBufferCounter
    {
        int nSeconds = -1;
        void OnCaptureStopped(int n) override
        {
            nSeconds = n;
            CBufferCounter::OnCaptureStopped(n);
        }
    } view;
    SetWaveformView(&view);
    {
        CDeviceThread capture;
        capture.StartCapture(&receiver);
        ASSERT_TRUE(view.WaitForBuffers(2));
        capture.StopCapture();
        capture.WaitForCaptureEnd();
    }
    SetWaveformView(nullptr);
    const int nBuffers = view.Buffers();
    DecodedAudio audio = DecodeFile(receiver.FileName);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_NEAR(nBuffers, audio.duration, 1e-6);
    // The position counted every sample delivered, the partly filled buffer included.
    EXPECT_GE(view.nSeconds, nBuffers);
    EXPECT_LE(view.nSeconds, nBuffers + 1);
}
}  // namespace
