// The sound server as the program's capture device: its sources become named lines;
// listed first when a server answers, not at all when none does; a late buffer loses nothing;
// the command-line recorder lists its lines, records one by name and misses one gone since.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "Event.h"
#include "PulseBackend.h"
#include "PulseLines.h"
#include "PulseTestSupport.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <tuple>
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

TEST(PulseLines, MonitorsAreStereoMixTheDefaultFirstAndNamesFitTheFieldWholeAndUnique)
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
}

// A server that never answers: no device, no message; the virtual device stays, chosen by default.
TEST(PulseNoServer, NoServerThatAnswersMeansNoDeviceAndNoMessage)
{
    const std::string path = "/tmp/vorane-silent-" + std::to_string(getpid());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{AF_UNIX, {}};
    std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
    unlink(path.c_str());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)));
    ASSERT_EQ(0, listen(fd, 4));
    CMessageRecorder messages;
    theSettings = RecorderSettings();
    setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
    UseSoundServer();
    close(fd);
    FreeDevices();
    std::string device, line;
    EXPECT_TRUE(SelectCurrentDevice(CurrentLineChoice(), device, line));
    EXPECT_EQ(std::make_tuple(size_t(1), std::string("Vorane Virtual Input"), std::string("Stereo Mix")),
              std::make_tuple(EnumDevices().size(), device, line));
    EXPECT_TRUE(messages.Texts().empty());
    SetCurrentDevice(nullptr);
    FreeDevices();
    unlink(path.c_str());
    unsetenv("PULSE_SERVER");
}

using PulseDevice = CPulseTest;

// Places where a steady sine breaks (a gap, a jump, a lost stretch), once it has begun.
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
        const bool bOff = std::fabs(x[i] - (c * x[i - 1] - x[i - 2])) > 0.02;
        nBreaks += bOff && !bInBreak;
        bInBreak = bOff;
    }
    return nBreaks;
}

// A wave-input handle on the sound server whose program is late with its next buffer.
TEST_F(PulseDevice, AProgramLateWithItsNextBufferLosesNoAudio)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    HANDLE hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN hWaveIn = nullptr;
    WAVEFORMATEX format{};
    CWaveIn::SetPcmFormat(format, 16, 2, 44100);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&hWaveIn, 0, &format, reinterpret_cast<DWORD_PTR>(hEvent), 0, CALLBACK_EVENT));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hEvent, 0));  // the open's own signal
    std::vector<char> buffers[2] = {std::vector<char>(4 * 44100), std::vector<char>(4 * 3 * 44100)};
    WAVEHDR headers[2] = {};
    auto queueAndWait = [&](int i) {
        headers[i].lpData = buffers[i].data();
        headers[i].dwBufferLength = static_cast<DWORD>(buffers[i].size());
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(hWaveIn, &headers[i], sizeof(WAVEHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(hWaveIn, &headers[i], sizeof(WAVEHDR)));
        if (i == 0)
        {
            ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(hWaveIn));
        }
        do  // the flags are read only after the event: the handle sets them, then signals
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hEvent, 10000));
        while (!(headers[i].dwFlags & WHDR_DONE));
    };
    queueAndWait(0);
    // A second and a half late (this wait is the lateness being tested, not a synchronisation).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    queueAndWait(1);
    // Audio comes only as the buffers take it, and the two join without a gap.
    MMTIME position{TIME_SAMPLES, {}};
    EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(hWaveIn, &position, sizeof(position)));
    EXPECT_EQ(4u * 44100, position.u.sample);
    std::vector<char> both = buffers[0];
    both.insert(both.end(), buffers[1].begin(), buffers[1].end());
    EXPECT_EQ(0, SineBreaks(FirstChannel(reinterpret_cast<const uint8_t*>(both.data()), both.size(), 2), 1000, 44100));
    waveInReset(hWaveIn);
    for (WAVEHDR& h : headers)
        waveInUnprepareHeader(hWaveIn, &h, sizeof(WAVEHDR));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(hWaveIn));
    CloseHandle(hEvent);
}
using PulseCli = CPulseTest;

TEST_F(PulseCli, ItListsTheServersLinesRecordsOneByNameAndALineGoneSinceIsNotFound)
{
    std::string index, output;
    ASSERT_EQ(0, Pactl("load-module module-null-sink sink_name=vorane_extra sink_properties=device.description=Extra",
                       &index));
    ASSERT_EQ(0, RunRecorder(m_folder.Path(), "--list", &output));
    EXPECT_EQ("0: PulseAudio Sound Server\n"
              "    0: Stereo Mix\n"
              "    1: Stereo Mix (Second Output)\n"
              "    2: Sine source at 440 Hz\n"
              "    3: Stereo Mix (Extra)\n"
              "1: Vorane Virtual Input\n"
              "    0: Microphone\n"
              "    1: Line In\n"
              "    2: Stereo Mix\n",
              output);
    ASSERT_EQ(0, Pactl("unload-module " + std::to_string(std::atoi(index.c_str()))));

    const std::string out = m_folder.File("out");
    EXPECT_EQ(1, RunRecorder(out, "-s 1 -l 'Stereo Mix (Extra)'", &output));
    EXPECT_NE(std::string::npos, output.find("Mixer's line not found.")) << output;
    EXPECT_FALSE(std::filesystem::exists(out + "/Audio0.wav"));

    // A line of the server by its name records that output, not the default one.
    ASSERT_TRUE(m_tone.Play(kSecondOutput, 2000));
    ASSERT_EQ(0, RunRecorder(out, "-s 2 -f mp3 -l 'Stereo Mix (Second Output)'", &output)) << output;
    DecodedAudio audio = DecodeFile(out + "/Audio0.mp3");
    EXPECT_NEAR(2000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5) << audio.error;
}
}  // namespace
