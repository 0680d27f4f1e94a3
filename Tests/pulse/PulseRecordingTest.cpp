// Recording from the sound server through the capture engine: mono mixdown,
// the line's volume and mute, and a server killed mid-recording.
#include "RecordingStart.h"
#include "Mixer.h"
#include "PulseTestSupport.h"
#include "PulseWaveIn.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace
{
using PulseRecording = CPulseTest;

// Left at -0.4 dBFS, right at half scale: mono is their mean and never clips (the server's
// own mixdown, 3 dB hotter on PipeWire, would); the server is asked for stereo.
TEST_F(PulseRecording, AMonoRecordingIsTheMeanOfTheStereoChannelsAndALoudToneDoesNotClip)
{
    const double dLeft = 0.955, dRight = 0.5;
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000, dLeft, dRight));

    // The channels are in phase: their mean is a sine of the mean amplitude.
    const double dMeanDb = 20 * std::log10((dLeft + dRight) / 2 / std::sqrt(2.0));
    const struct
    {
        int rate, bits;
    } formats[] = {{44100, 16}, {11025, 8}};
    int n = 1;
    for (const auto& f : formats)
    {
        SCOPED_TRACE(std::to_string(f.rate) + " Hz, " + std::to_string(f.bits) + " bits");
        const std::string path = m_folder.File("Audio" + std::to_string(n++) + ".wav");
        PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WAV, 1, f.rate, f.bits, 100);
        std::string outputs;
        CaptureWav(path, 2, [&] { Pactl("list source-outputs", &outputs); });
        // The server is asked for 16-bit stereo whatever the recording wants; we mix down ourselves.
        EXPECT_NE(std::string::npos, outputs.find(": s16le 2ch " + std::to_string(f.rate) + "Hz"))
            << outputs;
        DecodedAudio mono = DecodeFile(path);
        EXPECT_EQ(1, mono.channels) << mono.error;
        EXPECT_NEAR(1000, DominantFrequency(mono.firstChannel, mono.sampleRate), 5);
        EXPECT_NEAR(dMeanDb, LevelDb(mono), 0.1);
        // Never clipped: the peak past the first half second (a resampler may overshoot at first).
        float peak = 0;
        for (size_t i = static_cast<size_t>(f.rate) / 2; i < mono.firstChannel.size(); ++i)
            peak = std::max(peak, std::abs(mono.firstChannel[i]));
        EXPECT_NEAR((dLeft + dRight) / 2, peak, 0.01);
    }
}

// From the server's 16-bit stereo: the mean rounds half up, full scale stays in range, 8 bits unsigned.
TEST(PulseCapturedFrames, MonoIsTheRoundedMeanAndEightBitsAreRoundedAndUnsigned)
{
    const int16_t frames[][2] = {{32767, 32767}, {-32768, -32768}, {32767, -32768}, {1000, 3001}, {-1000, -3001},
                                 {127, 128}, {0, 0}};
    std::vector<uint8_t> in;
    for (const auto& f : frames)
        for (int16_t v : f)
            in.insert(in.end(), {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF)});
    const size_t nFrames = std::size(frames);
    auto convert = [&](WORD nChannels, WORD nBits) {
        std::vector<uint8_t> out(nFrames * nChannels * nBits / 8);
        winmm::pulse::ConvertCapturedFrames(in.data(), nFrames, nChannels, nBits, out.data());
        return out;
    };
    const std::vector<uint8_t> mono16 = convert(1, 16);
    std::vector<int16_t> mono16Values(nFrames);
    for (size_t i = 0; i < nFrames; ++i)
        mono16Values[i] = static_cast<int16_t>(mono16[2 * i] | mono16[2 * i + 1] << 8);
    EXPECT_EQ((std::vector<int16_t>{32767, -32768, 0, 2001, -2000, 128, 0}), mono16Values);
    EXPECT_EQ((std::vector<uint8_t>{255, 0, 128, 136, 120, 128, 128}), convert(1, 8));
    EXPECT_EQ((std::vector<uint8_t>{255, 255, 0, 0, 255, 0, 132, 140, 124, 116, 128, 129, 128, 128}), convert(2, 8));
}

// The line's volume and mute are the source's own.
TEST_F(PulseRecording, TheMonitorsOwnMuteHoldsUntilThePreparationUnmutesItAndHalfTheVolumeIsSixDecibelsDown)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    const std::string monitor = std::string(CPulseDaemon::kOutput) + ".monitor";
    ASSERT_EQ(0, Pactl("set-source-mute " + monitor + " 1"));
    // Chosen as the recording source but not unmuted.
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(CurrentLineChoice(), device, line));
    ASSERT_TRUE(GetCurrentDevice()->SetFormat(CAPTURE_MODE_WAV, 2, 44100, 16));
    GetCurrentDevice()->GetMixer().FindLine("Stereo Mix")->SelectAsSource();
    GetCurrentDevice()->GetMixer().Close();
    CaptureWav(m_folder.File("Audio0.wav"), 2);
    DecodedAudio muted = DecodeFile(m_folder.File("Audio0.wav"));
    ASSERT_TRUE(muted.ok) << muted.error;
    EXPECT_LT(LevelDb(muted), -60);

    DecodedAudio full = RecordWav(m_folder.File("Audio1.wav"), 2);
    DecodedAudio half = RecordWav(m_folder.File("Audio2.wav"), 2, 50);
    EXPECT_EQ(std::make_tuple(std::string("pcm_s16le"), 2, 2.0), std::make_tuple(full.codec, full.channels, full.duration));
    // The tone plays at half of full scale: about -9 dB RMS.
    EXPECT_NEAR(-9.0, LevelDb(full), 1.5);
    EXPECT_NEAR(-6.02, LevelDb(half) - LevelDb(full), 0.5);
    EXPECT_NEAR(1000, DominantFrequency(half.firstChannel, half.sampleRate), 5);
}

TEST_F(PulseRecording, AServerKilledMidRecordingLeavesEverythingUpToTheLossAndOneMessageAndTheNextRecordingConnectsAnew)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CMessageRecorder messages;
    PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    const std::string path = m_folder.File("Audio0.wav");
    const uint64_t nFrames = CaptureWav(path, 2, [&] {
        TheDaemon().Kill();
        PollUntil([&] { return !messages.Texts().empty(); });
    });
    ASSERT_EQ(std::vector<std::string>{winmm::pulse::MSG_SERVER_LOST}, messages.Texts());
    // The file holds exactly what was handed on up to the loss, in a header that matches it.
    const uint32_t nData = static_cast<uint32_t>(nFrames * 4);
    EXPECT_EQ((std::vector<uint32_t>{36 + nData, 1, 2, 44100, 176400, 4, 16, nData}), WavHeaderFields(ReadFileBytes(path)));
    EXPECT_GE(nFrames, 2u * 44100);
    DecodedAudio audio = DecodeFile(path);
    EXPECT_NEAR(nFrames / 44100.0, audio.duration, 1e-6) << audio.error;
    EXPECT_NEAR(1000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5);

    // The same socket answers again: the next recording connects anew.
    ASSERT_TRUE(TheDaemon().Start()) << TheDaemon().Log();
    ASSERT_EQ(0, Pactl(std::string("set-default-sink ") + CPulseDaemon::kOutput));
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    DecodedAudio again = RecordWav(m_folder.File("Audio1.wav"), 2);
    EXPECT_NEAR(1000, DominantFrequency(again.firstChannel, again.sampleRate), 5) << again.error;
    EXPECT_EQ(1u, messages.Texts().size());
}
}  // namespace
