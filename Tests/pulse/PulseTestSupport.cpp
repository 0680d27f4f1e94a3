#include "RecordingStart.h"
#include "PulseTestSupport.h"

#include "Mixer.h"
#include "PulseBackend.h"
#include "EncoderFixtures.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <pulse/simple.h>

#include <cmath>

CPulseDaemon& TheDaemon()
{
    static CPulseDaemon daemon({
        std::string("module-null-sink sink_name=") + kSecondOutput +
            " sink_properties='device.description=\"Second Output\"'",
        "module-sine-source source_name=vorane_sine frequency=440",
    });
    return daemon;
}

int Pactl(const std::string& arguments, std::string* pOutput)
{
    return RunCommand("PULSE_SERVER='" + TheDaemon().Server() + "' pactl " + arguments + " 2>&1", pOutput);
}

bool CTonePlayer::Play(const std::string& sink, double dFrequency, double dLeft, double dRight)
{
    Stop();
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    const uint32_t nAny = static_cast<uint32_t>(-1);
    pa_buffer_attr attr{nAny, static_cast<uint32_t>(pa_usec_to_bytes(250000, &spec)), nAny, nAny, nAny};
    pa_simple* pStream =
        pa_simple_new(nullptr, "Vorane test tone", PA_STREAM_PLAYBACK, sink.c_str(), "Test tone", &spec, nullptr, &attr, nullptr);
    std::vector<int16_t> samples(2 * 8820);  // the lead-in, then 10 ms at a time
    if (!pStream)
        return false;
    if (pa_simple_write(pStream, samples.data(), samples.size() * 2, nullptr) < 0)
    {
        pa_simple_free(pStream);
        return false;
    }
    m_bStop = false;
    m_thread = std::thread([this, pStream, dFrequency, dLeft, dRight, samples]() mutable {
        samples.resize(2 * 441);
        for (uint64_t nFrame = 8820; !m_bStop; nFrame += 441)
        {
            for (size_t i = 0; i < 441; ++i)
            {
                const double x = 32767 * std::sin(2 * M_PI * dFrequency * static_cast<double>(nFrame + i) / 44100);
                samples[2 * i] = static_cast<int16_t>(std::lround(dLeft * x));
                samples[2 * i + 1] = static_cast<int16_t>(std::lround(dRight * x));
            }
            if (pa_simple_write(pStream, samples.data(), samples.size() * 2, nullptr) < 0)
                break;
        }
        pa_simple_free(pStream);
    });
    return true;
}

void CTonePlayer::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CPulseTest::SetUp()
{
    CPulseDaemon& daemon = TheDaemon();
    if (!daemon.IsRunning())
    {
        ASSERT_TRUE(daemon.Start()) << daemon.Log();
        // The first output stays the default whatever else comes and goes.
        ASSERT_EQ(0, Pactl(std::string("set-default-sink ") + CPulseDaemon::kOutput));
    }
    daemon.UseInThisProcess();
    UseSoundServer();
    theSettings = RecorderSettings();
    FreeDevices();
}

void CPulseTest::TearDown()
{
    m_tone.Stop();
    SetCurrentDevice(nullptr);
    FreeDevices();
}

uint64_t CaptureWav(const std::string& path, int nSeconds, const std::function<void()>& meanwhile)
{
    struct : IWaveformView
    {
        std::atomic<int> nBuffers{0};
        std::atomic<bool> bStopped{false};
        void AddSamples(const std::vector<int32_t>&, uint32_t) override { ++nBuffers; }
        void OnCaptureStopped(uint32_t) override { bStopped = true; }
    } counter;
    CReceiverWAV receiver;
    receiver.Output = RecordingFileFor(path);
    receiver.CaptureFormat = GetCurrentDevice()->Format();
    receiver.FormatSet = 1;
    SetWaveformView(&counter);
    uint64_t nFrames = 0;
    {
        CDeviceThread capture;
        // Without anything to do meanwhile the recording is exactly that long; otherwise it runs
        // on until the stop after it.
        const uint64_t nLimit = meanwhile ? 0 : static_cast<uint64_t>(nSeconds) * receiver.CaptureFormat.nSamplesPerSec;
        EXPECT_EQ("", capture.StartCapture(&receiver, nLimit));
        PollUntil([&] { return counter.nBuffers >= nSeconds || counter.bStopped; });
        EXPECT_GE(counter.nBuffers, nSeconds);
        if (meanwhile)
            meanwhile();
        capture.StopCapture();
        capture.WaitForCaptureEnd();
        nFrames = capture.Ending().nFrames;
    }
    SetWaveformView(nullptr);
    return nFrames;
}

DecodedAudio RecordWav(const std::string& path, int nSeconds, DWORD nVolume)
{
    PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WAV, 2, 44100, 16, nVolume);
    CaptureWav(path, nSeconds);
    return DecodeFile(path);
}

double LevelDb(const DecodedAudio& audio)
{
    const size_t nSkip = std::min(static_cast<size_t>(audio.sampleRate) / 2, audio.firstChannel.size());
    double rms = Rms(std::vector<float>(audio.firstChannel.begin() + static_cast<long>(nSkip), audio.firstChannel.end()));
    return rms > 0 ? 20 * std::log10(rms) : -200;
}
