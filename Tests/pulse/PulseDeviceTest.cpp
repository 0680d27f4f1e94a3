// The sound server as the program's capture device: its sources become lines
// named for the mixer; listed first when a server answers, not at all when none
// does; the wave-input handle keeps the Windows rules on this device.
#include "Event.h"
#include "Mixer.h"
#include "PulseBackend.h"
#include "PulseLines.h"
#include "PulseTestSupport.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <cmath>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace winmm::pulse;

namespace
{
SourceEntry Source(const std::string& name, const std::string& description, const std::string& monitorOf = "",
                   DWORD channels = 2, const std::string& formFactor = "")
{
    return SourceEntry{name, description, monitorOf, channels, formFactor};
}

TEST(PulseLines, MonitorsAreStereoMixTheDefaultFirstAndNamesFitTheFieldWholeAndUniqueTheDeviceAfterTheServer)
{
    // 60 ASCII bytes, then characters of two and three bytes across the cut.
    const std::string longText = std::string(60, 'x') + "\xC3\xA9\xE2\x82\xAC\xC3\xA9";
    std::vector<LineEntry> lines = MakeLines(
        {Source("mic", "Built-in Microphone", "", 1, "microphone"), Source("hdmi.monitor", "Monitor of hdmi", "hdmi"),
         Source("speakers.monitor", "Monitor of speakers", "speakers"), Source("line", "Line Input"),
         Source("other.monitor", "Monitor of other", "other"), Source("in", longText),
         Source("usb1", "USB Microphone"), Source("usb2", "USB Microphone"), Source("usb3", "USB Microphone"),
         Source("long1", std::string(70, 'y')), Source("long2", std::string(70, 'y'))},
        {{"hdmi", "HDMI Output"}, {"speakers", "Built-in Audio Analog Stereo"}, {"other", longText}}, "speakers");
    std::vector<std::string> names;
    for (const LineEntry& line : lines)
        names.push_back(line.name);
    EXPECT_EQ((std::vector<std::string>{"Stereo Mix", "Built-in Microphone", "Stereo Mix (HDMI Output)", "Line Input",
                                        "Stereo Mix (" + std::string(50, 'x') + ")", std::string(60, 'x') + "\xC3\xA9",
                                        "USB Microphone", "USB Microphone #2", "USB Microphone #3",
                                        std::string(63, 'y'), std::string(60, 'y') + " #2"}),
              names);
    ASSERT_EQ(11u, lines.size());
    EXPECT_EQ("speakers.monitor", lines[0].source);
    EXPECT_EQ("hdmi.monitor", lines[2].source);
    EXPECT_EQ(DWORD(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT), lines[0].componentType);
    EXPECT_EQ(DWORD(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE), lines[1].componentType);
    EXPECT_EQ(1u, lines[1].channels);
    EXPECT_EQ(DWORD(MIXERLINE_COMPONENTTYPE_SRC_LINE), lines[3].componentType);
    // The device is named after the server.
    EXPECT_EQ("PulseAudio Sound Server", DeviceNameFor("pulseaudio"));
    EXPECT_EQ("PipeWire Sound Server", DeviceNameFor("PulseAudio (on PipeWire 1.0.5)"));
    std::string other = DeviceNameFor("A very long name of some other sound server");
    EXPECT_LE(other.size(), size_t(MAXPNAMELEN - 1));
    EXPECT_EQ(" Sound Server", other.substr(other.size() - 13));
}

// No listener, then a server that accepts connections (the kernel queues them) but
// never says a word: no device and no message; the virtual device stays, chosen by default.
TEST(PulseNoServer, NoServerThatAnswersMeansNoDeviceAndNoMessage)
{
    const std::string path = "/tmp/vorane-silent-" + std::to_string(getpid());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
    for (bool bListening : {false, true})
    {
        SCOPED_TRACE(bListening ? "silent server" : "no listener");
        unlink(path.c_str());
        if (bListening)
        {
            ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)));
            ASSERT_EQ(0, listen(fd, 4));
        }
        CMessageRecorder messages;
        theSettings = RecorderSettings();
        setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
        UseSoundServer();
        if (bListening)
            close(fd);
        FreeDevices();
        std::vector<CWaveIn*>& devices = EnumDevices();
        ASSERT_EQ(1u, devices.size());
        EXPECT_STREQ("Vorane Virtual Input", devices[0]->Name());
        std::string device, line;
        EXPECT_TRUE(SelectCurrentDevice(device, line));
        EXPECT_EQ("Vorane Virtual Input", device);
        EXPECT_EQ("Stereo Mix", line);
        EXPECT_TRUE(messages.Texts().empty());
        SetCurrentDevice(nullptr);
        FreeDevices();
    }
    unlink(path.c_str());
    unsetenv("PULSE_SERVER");
}

using PulseDevice = CPulseTest;

TEST_F(PulseDevice, TheServerIsListedFirstWithStereoMixAndTheVirtualDeviceRemains)
{
    std::vector<CWaveIn*>& devices = EnumDevices();
    ASSERT_EQ(2u, devices.size());
    EXPECT_STREQ("PulseAudio Sound Server", devices[0]->Name());
    EXPECT_STREQ("Vorane Virtual Input", devices[1]->Name());
    std::vector<std::string> names;
    CMixer& mixer = devices[0]->GetMixer();
    for (size_t i = 0; i < mixer.GetLineCount(); ++i)
        names.push_back(mixer.GetLine(i)->Name());
    mixer.Close();
    EXPECT_EQ((std::vector<std::string>{"Stereo Mix", "Stereo Mix (Second Output)", "Sine source at 440 Hz"}), names);

    // The default settings choose the server and its "Stereo Mix".
    std::string device, line;
    ASSERT_TRUE(SelectCurrentDevice(device, line));
    EXPECT_EQ("PulseAudio Sound Server", device);
    EXPECT_EQ("Stereo Mix", line);
    EXPECT_EQ(devices[0], GetCurrentDevice());
}

// Places where a steady sine of that frequency breaks (a gap, a jump, a lost
// stretch), once it has begun.
int SineBreaks(const std::vector<float>& x, double dFrequency, double dRate)
{
    const double c = 2 * std::cos(2 * M_PI * dFrequency / dRate);
    size_t i = 0;
    while (i < x.size() && std::fabs(x[i]) < 0.1f)
        ++i;
    int nBreaks = 0;
    bool bInBreak = false;
    for (i += 2; i < x.size(); ++i)
    {
        bool bOff = std::fabs(x[i] - (c * x[i - 1] - x[i - 2])) > 0.02;
        nBreaks += bOff && !bInBreak;
        bInBreak = bOff;
    }
    return nBreaks;
}

// An open wave-input handle on the sound server, 44100 Hz 16-bit stereo.
class PulseWaveInHandle : public CPulseTest
{
protected:
    void SetUp() override
    {
        CPulseTest::SetUp();
        ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
        WAVEFORMATEX format{};
        CWaveIn::SetPcmFormat(format, 16, 2, 44100);
        ASSERT_EQ(MMSYSERR_NOERROR,
                  waveInOpen(&m_hWaveIn, 0, &format, reinterpret_cast<DWORD_PTR>(m_hEvent), 0, CALLBACK_EVENT));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0));  // the open's own signal
    }
    void TearDown() override
    {
        if (m_hWaveIn)
        {
            waveInReset(m_hWaveIn);
            for (WAVEHDR& h : m_headers)
                if (h.dwFlags & WHDR_PREPARED)
                    waveInUnprepareHeader(m_hWaveIn, &h, sizeof(WAVEHDR));
            EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(m_hWaveIn));
        }
        CloseHandle(m_hEvent);
        CPulseTest::TearDown();
    }
    void Queue(int i, size_t nFrames)
    {
        m_buffers[i].assign(nFrames * 4, 0);
        m_headers[i] = WAVEHDR{};
        m_headers[i].lpData = m_buffers[i].data();
        m_headers[i].dwBufferLength = static_cast<DWORD>(m_buffers[i].size());
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(m_hWaveIn, &m_headers[i], sizeof(WAVEHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(m_hWaveIn, &m_headers[i], sizeof(WAVEHDR)));
    }
    // The flags are read only after the event: the handle sets them, then signals.
    void WaitDone(int i)
    {
        do
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 10000));
        while (!(m_headers[i].dwFlags & WHDR_DONE));
    }
    DWORD Position()
    {
        MMTIME position{};
        position.wType = TIME_SAMPLES;
        EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(m_hWaveIn, &position, sizeof(position)));
        return position.u.sample;
    }

    HANDLE m_hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN m_hWaveIn = nullptr;
    std::vector<char> m_buffers[2];
    WAVEHDR m_headers[2] = {};
};

TEST_F(PulseWaveInHandle, AStopReturnsThePartlyFilledBufferAndThePositionCountsItsSamples)
{
    // One frame, then ten seconds: the fragment that fills the first goes on into the second.
    Queue(0, 1);
    Queue(1, 441000);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(m_hWaveIn));
    WaitDone(0);
    EXPECT_EQ(4u, m_headers[0].dwBytesRecorded);

    ASSERT_EQ(MMSYSERR_NOERROR, waveInStop(m_hWaveIn));
    const DWORD nPosition = Position();
    ASSERT_EQ(MMSYSERR_NOERROR, waveInReset(m_hWaveIn));
    EXPECT_TRUE(m_headers[1].dwFlags & WHDR_DONE);
    EXPECT_GT(m_headers[1].dwBytesRecorded, 0u);
    EXPECT_LT(m_headers[1].dwBytesRecorded, m_headers[1].dwBufferLength);
    EXPECT_EQ(0u, m_headers[1].dwBytesRecorded % 4);
    // Nothing came after the stop: the position is every frame in the two buffers.
    EXPECT_EQ((m_headers[0].dwBytesRecorded + m_headers[1].dwBytesRecorded) / 4, nPosition);
}

TEST_F(PulseWaveInHandle, AProgramLateWithItsNextBufferLosesNoAudio)
{
    Queue(0, 44100);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(m_hWaveIn));
    WaitDone(0);
    // The program is a second and a half late with its next buffer (this wait is the
    // lateness being tested, not a synchronisation).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Queue(1, 3 * 44100);
    WaitDone(1);
    // Audio comes only as the buffers take it, and the two join without a gap.
    EXPECT_EQ(4u * 44100, Position());
    std::vector<char> both = m_buffers[0];
    both.insert(both.end(), m_buffers[1].begin(), m_buffers[1].end());
    EXPECT_EQ(0, SineBreaks(FirstChannel(reinterpret_cast<const uint8_t*>(both.data()), both.size(), 2, 16), 1000, 44100));
}
}  // namespace
