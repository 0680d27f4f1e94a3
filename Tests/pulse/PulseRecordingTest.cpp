// Recording through the capture engine from the sound server: what an output
// plays comes back on its "Stereo Mix" line, in every capture format; the line's
// own volume and mute act on what is recorded; a server killed mid-recording
// leaves whole seconds and one message, and the next recording connects anew.
#include "LameEncoder.h"
#include "Mixer.h"
#include "PulseTestSupport.h"
#include "PulseWaveIn.h"
#include "ReceiverMP3.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <thread>

namespace
{
using PulseRecording = CPulseTest;

TEST_F(PulseRecording, AToneOnTheDefaultOutputComesBackOnStereoMixInEveryWavFormatAndAsMp3)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CMessageRecorder messages;
    const struct
    {
        int channels, rate, bits;
        const char* codec;
    } formats[] = {{2, 44100, 16, "pcm_s16le"}, {1, 11025, 8, "pcm_u8"}, {2, 11025, 8, "pcm_u8"},
                   {1, 22050, 16, "pcm_s16le"}, {2, 44100, 8, "pcm_u8"}};
    int n = 0;
    for (const auto& f : formats)
    {
        SCOPED_TRACE(std::to_string(f.channels) + " ch, " + std::to_string(f.rate) + " Hz, " + std::to_string(f.bits));
        DecodedAudio audio = RecordWav(m_folder.File("Audio" + std::to_string(n++) + ".wav"), 3, f.channels, f.rate, f.bits);
        ASSERT_TRUE(audio.ok) << audio.error;
        EXPECT_EQ(f.codec, audio.codec);
        EXPECT_EQ(f.rate, audio.sampleRate);
        EXPECT_EQ(f.channels, audio.channels);
        EXPECT_NEAR(3.0, audio.duration, 1e-6);
        EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);
        // The tone plays at half of full scale: about -9 dB RMS.
        EXPECT_NEAR(-9.0, LevelDb(audio), 1.5);
    }

    SetLameLibraryPath(std::string(VORANE_APP_DIR) + "/liblame_enc.so");
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
    ASSERT_EQ(0, Pactl(std::string("get-source-volume ") + CPulseDaemon::kOutput + ".monitor", &volume));
    EXPECT_NE(std::string::npos, volume.find("79%")) << volume;
}

TEST_F(PulseRecording, UnmutingAMutedMonitorMakesTheToneAudibleAgain)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    const std::string monitor = std::string(CPulseDaemon::kOutput) + ".monitor";
    ASSERT_EQ(0, Pactl("set-source-mute " + monitor + " 1"));

    // The line is chosen as the recording source but not unmuted: the source's own mute holds.
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(device, line));
    ASSERT_EQ("Stereo Mix", line);
    ASSERT_TRUE(GetCurrentDevice()->SetFormat(CAPTURE_MODE_WAV, 2, 44100, 16));
    CMixer& mixer = GetCurrentDevice()->GetMixer();
    mixer.FindLine("Stereo Mix")->SelectAsSource();
    mixer.Close();
    CaptureWav(m_folder.File("Audio0.wav"), 2);
    DecodedAudio muted = DecodeFile(m_folder.File("Audio0.wav"));
    ASSERT_TRUE(muted.ok) << muted.error;
    EXPECT_LT(LevelDb(muted), -60);

    // The preparation unmutes the line.
    DecodedAudio unmuted = RecordWav(m_folder.File("Audio1.wav"), 2);
    ASSERT_TRUE(unmuted.ok) << unmuted.error;
    EXPECT_NEAR(-9.0, LevelDb(unmuted), 1.5);
    EXPECT_NEAR(1000, DominantFrequency(unmuted.firstChannel, unmuted.sampleRate), 5);
    std::string mute;
    Pactl("get-source-mute " + monitor, &mute);
    EXPECT_NE(std::string::npos, mute.find("no")) << mute;
}

TEST_F(PulseRecording, AServerKilledMidRecordingLeavesWholeSecondsAndOneMessageAndTheNextRecordingConnectsAnew)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CMessageRecorder messages;
    PrepareRecordingLine(CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    const std::string path = m_folder.File("Audio0.wav");
    const int nBuffers = CaptureWav(path, 2, [&] {
        TheDaemon().Kill();
        for (int i = 0; i < 3000 && messages.Texts().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    ASSERT_EQ(std::vector<std::string>{winmm::pulse::MSG_SERVER_LOST}, messages.Texts());
    // The file holds exactly the whole seconds handed on, in a header that matches it.
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.size() - 8, LE32(bytes.data() + 4));
    EXPECT_EQ(bytes.size() - 44, LE32(bytes.data() + 40));
    EXPECT_GE(nBuffers, 2);
    EXPECT_EQ(static_cast<size_t>(nBuffers) * 176400, bytes.size() - 44);
    DecodedAudio audio = DecodeFile(path);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_NEAR(nBuffers, audio.duration, 1e-6);
    EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);

    // The same socket answers again: the next recording connects anew.
    ASSERT_TRUE(TheDaemon().Start()) << TheDaemon().Log();
    ASSERT_EQ(0, Pactl(std::string("set-default-sink ") + CPulseDaemon::kOutput));
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    DecodedAudio again = RecordWav(m_folder.File("Audio1.wav"), 2);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_NEAR(1000, DominantFrequency(again.firstChannel, again.sampleRate), 5);
    EXPECT_EQ(1u, messages.Texts().size());
}
}  // namespace
