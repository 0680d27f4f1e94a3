// Recording from the sound server through the capture engine: mono mixdown,
// the line's volume and mute, a server killed mid-recording, and the computer and
// the microphone in one recording.
#include "RecordingStart.h"
#include "Mixer.h"
#include "PulseTestSupport.h"
#include "PulseWaveIn.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
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

// "Stereo Mix + Microphone": the default output's monitor and the default input (here a second null
// output's monitor, "Test Microphone") in one recording.
class PulseBothSources : public CPulseTest
{
protected:
    void SetUp() override
    {
        CPulseTest::SetUp();
        std::string index;
        ASSERT_EQ(0, Pactl("load-module module-null-sink sink_name=vorane_mic "
                           "\"sink_properties='device.description=\\\"Test Microphone\\\"'\"",
                           &index))
            << index;
        m_nMicModule = std::atoi(index.c_str());
        ASSERT_EQ(0, Pactl("set-default-source vorane_mic.monitor"));
        theSettings.LineIndex = 1;
    }
    void TearDown() override
    {
        m_mic.Stop();
        if (m_nMicModule >= 0)
            Pactl("unload-module " + std::to_string(m_nMicModule));
        CPulseTest::TearDown();
    }
    DecodedAudio Record(const std::string& name, bool bSideBySide, const std::function<void()>& meanwhile = nullptr)
    {
        EXPECT_EQ("Stereo Mix + Microphone",
                  PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WAV, 2, 44100, 16, 100, nullptr, bSideBySide));
        CaptureWav(m_folder.File(name), 2, meanwhile);
        return DecodeFile(m_folder.File(name));
    }

    int m_nMicModule = -1;
    CTonePlayer m_mic;
};

// The samples from where the first of the last nSeconds begins.
std::vector<float> Tail(const std::vector<float>& x, double dSeconds)
{
    const size_t n = std::min(x.size(), static_cast<size_t>(dSeconds * 44100));
    return std::vector<float>(x.end() - static_cast<long>(n), x.end());
}

// 1000 Hz at 0.5 plays, 300 Hz at 0.25 is "said": each is found at its level where the layout puts it.
TEST_F(PulseBothSources, BothSourcesAreRecordedAtTheirLevelsMixedInEveryChannelOrSideBySide)
{
    auto dB = [](double dAmplitude, double dReference) { return 20 * std::log10(dAmplitude / dReference); };
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000, 0.5, 0.5));
    ASSERT_TRUE(m_mic.Play("vorane_mic", 300, 0.25, 0.25));
    const DecodedAudio mixed = Record("Audio0.wav", false);
    ASSERT_EQ(2, mixed.channels) << mixed.error;
    for (const std::vector<float>* pChannel : {&mixed.firstChannel, &mixed.secondChannel})
    {
        EXPECT_NEAR(0, dB(ToneAmplitude(Tail(*pChannel, 1.5), 1000, 44100), 0.5), 1) << "the computer, mixed";
        EXPECT_NEAR(0, dB(ToneAmplitude(Tail(*pChannel, 1.5), 300, 44100), 0.25), 1) << "the microphone, mixed";
    }
    const DecodedAudio side = Record("Audio1.wav", true);
    EXPECT_NEAR(0, dB(ToneAmplitude(Tail(side.firstChannel, 1.5), 1000, 44100), 0.5), 1) << "the computer, left";
    EXPECT_NEAR(0, dB(ToneAmplitude(Tail(side.secondChannel, 1.5), 300, 44100), 0.25), 1) << "the microphone, right";
    EXPECT_LT(ToneAmplitude(Tail(side.firstChannel, 1.5), 300, 44100), 0.005) << "the microphone on the left";
    EXPECT_LT(ToneAmplitude(Tail(side.secondChannel, 1.5), 1000, 44100), 0.005) << "the computer on the right";
}

// Clicks played into both outputs at once (a combined output). The microphone's output wakes up a while after
// the recording starts, as an idle input does: its first audio comes later than the computer's (without the
// latencies, 25 to 70 ms late), and only the server's timing says from when. Side by side, each click lands in
// the left and the right channel within 20 ms of each other.
TEST_F(PulseBothSources, AClickPlayedAndSpokenAtOnceLandsWithinTwentyMillisecondsInBoth)
{
    std::string index;
    ASSERT_EQ(0,
              Pactl("load-module module-combine-sink sink_name=vorane_both slaves=vorane_out,vorane_mic", &index));
    std::atomic<bool> bStop{false};
    // Connected here, as the tone player does: the library's connection set-up is not made for two
    // threads of one process at once (ThreadSanitizer sees its free lists race).
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    const uint32_t nAny = static_cast<uint32_t>(-1);
    pa_buffer_attr attr{nAny, static_cast<uint32_t>(pa_usec_to_bytes(20000, &spec)), nAny, nAny, nAny};
    pa_simple* pStream = pa_simple_new(nullptr, "Vorane test clicks", PA_STREAM_PLAYBACK, "vorane_both", "Clicks",
                                       &spec, nullptr, &attr, nullptr);
    ASSERT_TRUE(pStream);
    std::thread clicks([&] {
        // A 2 ms click every 0.4 s.
        std::vector<int16_t> period(2 * 17640, 0);
        std::fill_n(period.begin(), 2 * 88, static_cast<int16_t>(26000));
        while (!bStop && pa_simple_write(pStream, period.data(), period.size() * 2, nullptr) >= 0)
        {
        }
        pa_simple_free(pStream);
    });
    ASSERT_EQ(0, Pactl("suspend-sink vorane_mic 1"));
    std::thread wake([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        Pactl("suspend-sink vorane_mic 0");
    });
    const DecodedAudio side = Record("Audio0.wav", true);
    wake.join();
    bStop = true;
    clicks.join();
    Pactl("unload-module " + std::to_string(std::atoi(index.c_str())));
    // Where each click begins, in frames.
    auto onsets = [](const std::vector<float>& x) {
        std::vector<long> at;
        for (size_t i = 0; i < x.size(); ++i)
            if (std::fabs(x[i]) > 0.3 && (at.empty() || static_cast<long>(i) - at.back() > 4410))
                at.push_back(static_cast<long>(i));
        return at;
    };
    const std::vector<long> left = onsets(side.firstChannel), right = onsets(side.secondChannel);
    ASSERT_GE(left.size(), 3u) << side.error;
    ASSERT_EQ(left.size(), right.size());
    for (size_t i = 0; i < left.size(); ++i)
        EXPECT_LE(std::abs(left[i] - right[i]), 882) << "click " << i << " at " << left[i] << " and " << right[i];
}

// The microphone's output is removed mid-recording: the computer records on, and the message names the
// microphone that was lost.
TEST_F(PulseBothSources, ASourceRemovedMidRecordingLeavesTheOtherRecordingAndNamesTheLostOne)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000, 0.5, 0.5));
    ASSERT_TRUE(m_mic.Play("vorane_mic", 300, 0.25, 0.25));
    CMessageRecorder messages;
    const DecodedAudio audio = Record("Audio0.wav", false, [&] {
        m_mic.Stop();  // else the server moves it to the computer's output
        ASSERT_EQ(0, Pactl("unload-module " + std::to_string(m_nMicModule)));
        m_nMicModule = -1;
        for (int i = 0; i < 300 && messages.Texts().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    ASSERT_EQ(1u, messages.Texts().size());
    EXPECT_NE(std::string::npos, messages.Texts()[0].find("The microphone (\"Monitor of Test Microphone\")"))
        << messages.Texts()[0];
    EXPECT_GE(audio.duration, 3.4) << audio.error;
    const std::vector<float> after = Tail(audio.firstChannel, 1.0);
    EXPECT_NEAR(0.5, ToneAmplitude(after, 1000, 44100), 0.06) << "the computer after the loss";
    EXPECT_LT(ToneAmplitude(after, 300, 44100), 0.01) << "no microphone after the loss";
}
}  // namespace
