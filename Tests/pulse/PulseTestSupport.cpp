#include "PulseTestSupport.h"

#include "Mixer.h"
#include "PulseBackend.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <atomic>
#include <cmath>
#include <thread>

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

namespace
{
// Counts the buffers a recording hands on.
struct CBufferCounter : IWaveformView
{
    std::atomic<int> nBuffers{0};
    std::atomic<bool> bStopped{false};
    void AddSamples(const std::vector<int32_t>&, uint32_t) override { ++nBuffers; }
    void OnCaptureStopped(int) override { bStopped = true; }
};
}  // namespace

int CaptureInto(IReceiver& receiver, int nSeconds, const std::function<void()>& meanwhile)
{
    CBufferCounter counter;
    SetWaveformView(&counter);
    {
        CDeviceThread capture;
        capture.StartCapture(&receiver);
        for (int i = 0; i < 3000 && counter.nBuffers < nSeconds && !counter.bStopped; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GE(counter.nBuffers, nSeconds);
        if (meanwhile)
            meanwhile();
        capture.StopCapture();
        capture.WaitForCaptureEnd();
    }
    SetWaveformView(nullptr);
    return counter.nBuffers;
}

DecodedAudio RecordWavUnprepared(const std::string& path, int nSeconds)
{
    CReceiverWAV receiver;
    receiver.FileName = path;
    receiver.CaptureFormat = GetCurrentDevice()->Format();
    receiver.FormatSet = 1;
    CaptureInto(receiver, nSeconds);
    return DecodeFile(path);
}

DecodedAudio RecordWav(const std::string& path, int nSeconds, int nChannels, int nRate, int nBits, DWORD nVolume)
{
    PrepareRecordingLine(CAPTURE_MODE_WAV, nChannels, nRate, nBits, nVolume);
    return RecordWavUnprepared(path, nSeconds);
}

double LevelDb(const DecodedAudio& audio)
{
    const size_t nSkip = std::min(static_cast<size_t>(audio.sampleRate) / 2, audio.firstChannel.size());
    double rms = Rms(std::vector<float>(audio.firstChannel.begin() + static_cast<long>(nSkip), audio.firstChannel.end()));
    return rms > 0 ? 20 * std::log10(rms) : -200;
}
