#include "PulseTestSupport.h"

#include "Mixer.h"
#include "PulseBackend.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

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

void CBufferCounter::AddSamples(const std::vector<int32_t>&, uint32_t)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nBuffers;
    m_changed.notify_all();
}

void CBufferCounter::OnCaptureStopped(int)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopped = true;
    m_changed.notify_all();
}

bool CBufferCounter::WaitForBuffers(int n, int nMilliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(nMilliseconds),
                              [&] { return m_nBuffers >= n || m_bStopped; }) &&
           m_nBuffers >= n;
}

int CBufferCounter::Buffers()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nBuffers;
}

int CaptureInto(IReceiver& receiver, int nSeconds, const std::function<void()>& meanwhile)
{
    CBufferCounter counter;
    SetWaveformView(&counter);
    {
        CDeviceThread capture;
        capture.StartCapture(&receiver);
        EXPECT_TRUE(counter.WaitForBuffers(nSeconds));
        if (meanwhile)
            meanwhile();
        capture.StopCapture();
        capture.WaitForCaptureEnd();
    }
    SetWaveformView(nullptr);
    return counter.Buffers();
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
