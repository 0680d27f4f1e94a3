#include "PulseTestSupport.h"

#include "Mixer.h"
#include "PulseBackend.h"
#include "ReceiverWAV.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <cmath>
#include <unistd.h>

CPulseDaemon& TheDaemon()
{
    static CPulseDaemon daemon({
        std::string("module-null-sink sink_name=") + kSecondOutput + " sink_properties='device.description=\"" +
            kSecondOutputDescription + "\"'",
        std::string("module-sine-source source_name=") + kSineSource + " frequency=440",
    });
    return daemon;
}

void CPulseTest::SetUp()
{
    CPulseDaemon& daemon = TheDaemon();
    if (!daemon.IsRunning())
    {
        ASSERT_TRUE(daemon.Start()) << daemon.Log();
        // The first output stays the default whatever else comes and goes.
        ASSERT_EQ(0, daemon.Pactl(std::string("set-default-sink ") + CPulseDaemon::kOutput));
    }
    daemon.UseInThisProcess();
    UseSoundServer();
    theSettings = RecorderSettings();
    FreeDevices();
}

void CPulseTest::TearDown()
{
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

CMessageWaiter::CMessageWaiter()
{
    m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(r.text);
        m_changed.notify_all();
        return IDOK;
    });
}

CMessageWaiter::~CMessageWaiter()
{
    SetMessageBoxHandler(m_previous);
}

bool CMessageWaiter::WaitFor(size_t nCount, int nMilliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(nMilliseconds), [&] { return m_texts.size() >= nCount; });
}

std::vector<std::string> CMessageWaiter::Texts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

int CaptureInto(IReceiver& receiver, int nSeconds)
{
    CBufferCounter counter;
    SetWaveformView(&counter);
    {
        CDeviceThread capture;
        capture.StartCapture(&receiver);
        counter.WaitForBuffers(nSeconds);
        capture.StopCapture();
        capture.WaitForCaptureEnd();
    }
    SetWaveformView(nullptr);
    return counter.Buffers();
}

DecodedAudio RecordWav(const std::string& path, int nSeconds, int nChannels, int nRate, int nBits, DWORD nVolume)
{
    PrepareRecordingLine(CAPTURE_MODE_WAV, nChannels, nRate, nBits, nVolume);
    CReceiverWAV receiver;
    receiver.FileName = path;
    receiver.CaptureFormat = GetCurrentDevice()->Format();
    receiver.FormatSet = 1;
    CaptureInto(receiver, nSeconds);
    return DecodeFile(path);
}

std::string TestFolderName(const std::string& prefix)
{
    const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    return prefix + "-" + (pInfo ? pInfo->name() : "outside") + "-" + std::to_string(getpid());
}

double LevelDb(const DecodedAudio& audio)
{
    std::vector<float> samples = audio.firstChannel;
    const size_t nSkip = static_cast<size_t>(audio.sampleRate) / 2;
    samples.erase(samples.begin(), samples.begin() + static_cast<long>(std::min(nSkip, samples.size())));
    double rms = Rms(samples);
    return rms > 0 ? 20 * std::log10(rms) : -200;
}

int LineIndexOf(const std::string& name)
{
    std::vector<CWaveIn*>& devices = EnumDevices();
    if (devices.empty())
        return -1;
    CMixer& mixer = devices[0]->GetMixer();
    int nFound = -1;
    for (size_t i = 0; i < mixer.GetLineCount(); ++i)
        if (name == mixer.GetLine(i)->Name())
            nFound = static_cast<int>(i);
    mixer.Close();
    return nFound;
}
