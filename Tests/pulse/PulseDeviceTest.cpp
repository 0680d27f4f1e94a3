// The sound server as the program's capture device: its sources become named lines;
// listed first when a server answers, not at all when none does; a late buffer loses nothing,
// nor does a hole in what the server sends, and nothing from before a start gets in;
// the command-line recorder lists its lines, records one by name and misses one gone since.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "Event.h"
#include "PulseBackend.h"
#include "PulseLines.h"
#include "PulseTestSupport.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <pulse/stream.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <tuple>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace winmm::pulse;

namespace
{
// A hole in a record stream (a stretch the server accounts for but whose audio never
// arrived) reaches the program as a peek without data. Our server sends none on demand,
// so this program's own pa_stream_peek turns chunks the server did send into holes, and
// keeps all it was sent meanwhile.
struct CHoleMaker
{
    std::mutex mutex;
    bool bArmed = false;
    int nEvery = 0;   // every nEvery-th chunk within the tone becomes a hole
    int nLeft = 0;    // holes still to make
    int nChunks = 0;  // chunks within the tone so far
    bool bToneBefore = false;                 // the last chunk ended in the tone, not in silence
    bool bHeld = false, bHeldIsHole = false;  // the chunk peeked and not yet dropped
    std::vector<uint8_t> sent;                // every byte the server sent, holes included
    std::vector<std::pair<size_t, size_t>> holes;  // where in sent, and how long

    void Arm(int nHoles, int nEveryNth)
    {
        std::lock_guard<std::mutex> lock(mutex);
        bArmed = true;
        nLeft = nHoles;
        nEvery = nEveryNth;
        nChunks = 0;
        bToneBefore = false;
        sent.clear();
        holes.clear();
    }
    void Disarm()
    {
        std::lock_guard<std::mutex> lock(mutex);
        bArmed = false;
    }
    // What a recording that keeps every hole as silence in its place begins with.
    std::vector<uint8_t> SentWithHolesSilent()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<uint8_t> expected = sent;
        for (const auto& [nAt, nLength] : holes)
            std::fill_n(expected.begin() + static_cast<long>(nAt), nLength, 0);
        return expected;
    }
    // A newly peeked chunk of 16-bit stereo frames: a hole only with the tone on both sides,
    // so that the tone shows where what follows it went.
    bool MakesHole(const uint8_t* p, size_t nBytes)
    {
        if (!bArmed)
            return false;
        auto sounds = [](const uint8_t* pFrame) { return std::memcmp(pFrame, "\0\0\0\0", 4) != 0; };
        const bool bTone = nBytes >= 8 && sounds(p) && sounds(p + nBytes / 4 * 4 - 4);
        const bool bHole = nLeft > 0 && bTone && bToneBefore && ++nChunks % nEvery == 0;
        bToneBefore = nBytes >= 4 && sounds(p + nBytes / 4 * 4 - 4);
        if (bHole)
        {
            --nLeft;
            holes.emplace_back(sent.size(), nBytes);
        }
        sent.insert(sent.end(), p, p + nBytes);
        return bHole;
    }
} g_holes;
}  // namespace

extern "C" int pa_stream_peek(pa_stream* pStream, const void** ppData, size_t* pBytes)
{
    using Peek = int (*)(pa_stream*, const void**, size_t*);
    static const Peek real = reinterpret_cast<Peek>(dlsym(RTLD_NEXT, "pa_stream_peek"));
    const int nResult = real(pStream, ppData, pBytes);
    std::lock_guard<std::mutex> lock(g_holes.mutex);
    if (nResult < 0 || !*ppData || *pBytes == 0)
        return nResult;
    if (!g_holes.bHeld)
    {
        g_holes.bHeld = true;
        g_holes.bHeldIsHole = g_holes.MakesHole(static_cast<const uint8_t*>(*ppData), *pBytes);
    }
    if (g_holes.bHeldIsHole)
        *ppData = nullptr;
    return nResult;
}

extern "C" int pa_stream_drop(pa_stream* pStream)
{
    using Drop = int (*)(pa_stream*);
    static const Drop real = reinterpret_cast<Drop>(dlsym(RTLD_NEXT, "pa_stream_drop"));
    {
        std::lock_guard<std::mutex> lock(g_holes.mutex);
        g_holes.bHeld = g_holes.bHeldIsHole = false;
    }
    return real(pStream);
}

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
    CScopedEnv server("PULSE_SERVER", "unix:" + path);
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

// A wave-input handle on the sound server, 44.1 kHz 16-bit stereo, driven as a program drives one.
class CRawWaveIn
{
public:
    CRawWaveIn()
    {
        WAVEFORMATEX format{};
        CWaveIn::SetPcmFormat(format, 16, 2, 44100);
        m_nOpen = waveInOpen(&m_h, 0, &format, reinterpret_cast<DWORD_PTR>(m_hEvent), 0, CALLBACK_EVENT);
    }
    ~CRawWaveIn()
    {
        if (m_nOpen == MMSYSERR_NOERROR)
        {
            waveInReset(m_h);
            for (WAVEHDR& h : m_headers)
                waveInUnprepareHeader(m_h, &h, sizeof(WAVEHDR));
            EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(m_h));
        }
        CloseHandle(m_hEvent);
    }
    MMRESULT OpenResult() const { return m_nOpen; }
    HWAVEIN Handle() const { return m_h; }
    // Queues a buffer of that many seconds; its index.
    size_t Add(double dSeconds)
    {
        m_buffers.emplace_back(4 * static_cast<size_t>(dSeconds * 44100));
        WAVEHDR& h = m_headers.emplace_back();
        h.lpData = m_buffers.back().data();
        h.dwBufferLength = static_cast<DWORD>(m_buffers.back().size());
        EXPECT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(m_h, &h, sizeof(WAVEHDR)));
        EXPECT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(m_h, &h, sizeof(WAVEHDR)));
        return m_headers.size() - 1;
    }
    // Waits until the buffer is full; the event also comes for the open, and the port sets the flags
    // behind our back, as a driver does.
    bool WaitDone(size_t i)
    {
        while (!(std::atomic_ref<DWORD>(m_headers[i].dwFlags).load(std::memory_order_acquire) & WHDR_DONE))
            if (WaitForSingleObject(m_hEvent, 10000) != WAIT_OBJECT_0)
                return false;
        return true;
    }
    std::vector<char>& Buffer(size_t i) { return m_buffers[i]; }
    std::vector<float> FirstChannelOf(size_t i)
    {
        return FirstChannel(reinterpret_cast<const uint8_t*>(m_buffers[i].data()), m_buffers[i].size(), 2);
    }

private:
    HANDLE m_hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN m_h = nullptr;
    MMRESULT m_nOpen = MMSYSERR_ERROR;
    std::deque<std::vector<char>> m_buffers;  // stable addresses: the port writes into them
    std::deque<WAVEHDR> m_headers;
};

// A wave-input handle on the sound server whose program is late with its next buffer.
TEST_F(PulseDevice, AProgramLateWithItsNextBufferLosesNoAudio)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    CRawWaveIn in;
    ASSERT_EQ(MMSYSERR_NOERROR, in.OpenResult());
    in.Add(1);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(in.Handle()));
    ASSERT_TRUE(in.WaitDone(0));
    // A second and a half late (this wait is the lateness being tested, not a synchronisation).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    in.Add(3);
    ASSERT_TRUE(in.WaitDone(1));
    // Audio comes only as the buffers take it, and the two join without a gap.
    MMTIME position{TIME_SAMPLES, {}};
    EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(in.Handle(), &position, sizeof(position)));
    EXPECT_EQ(4u * 44100, position.u.sample);
    std::vector<char> both = in.Buffer(0);
    both.insert(both.end(), in.Buffer(1).begin(), in.Buffer(1).end());
    EXPECT_EQ(0, SineBreaks(FirstChannel(reinterpret_cast<const uint8_t*>(both.data()), both.size(), 2), 1000, 44100));
}

// What the server captured before a start of the same handle, also what was still on its way at
// the stop before, is not part of the recording: a tone that ended before the start is not in it.
TEST_F(PulseDevice, ASoundPlayedBeforeTheStartIsNotInTheRecording)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 2000));
    PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WAV, 2, 44100, 16, 100);  // "Stereo Mix"
    CRawWaveIn in;
    ASSERT_EQ(MMSYSERR_NOERROR, in.OpenResult());
    in.Add(1.5);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(in.Handle()));
    ASSERT_TRUE(in.WaitDone(0));
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStop(in.Handle()));
    m_tone.Stop();
    in.Add(1);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(in.Handle()));
    ASSERT_TRUE(in.WaitDone(1));
    EXPECT_GT(ToneAmplitude(in.FirstChannelOf(0), 2000, 44100), 0.3) << "no tone to leave out";
    EXPECT_LT(ToneAmplitude(in.FirstChannelOf(1), 2000, 44100), 0.01);
}

// A hole in what the server sends is recorded as silence of its length in its place, so the
// recording keeps time with what was played.
TEST_F(PulseDevice, AHoleInTheServersAudioIsRecordedAsSilenceOfItsLengthInItsPlace)
{
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    const size_t nBytes = 4 * 3 * 44100;
    bool bDone = false;
    std::vector<char> recorded;
    {
        CRawWaveIn in;
        ASSERT_EQ(MMSYSERR_NOERROR, in.OpenResult());
        in.Add(3);
        // The server sends a tenth of a second or more at a time: three holes come within the first
        // two seconds of the tone.
        g_holes.Arm(3, 2);
        ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(in.Handle()));
        bDone = in.WaitDone(0);
        g_holes.Disarm();
        recorded = in.Buffer(0);
    }
    EXPECT_TRUE(bDone);
    ASSERT_EQ(3u, g_holes.holes.size()) << "the server's audio came in too few chunks";
    ASSERT_LT(g_holes.holes.back().first + g_holes.holes.back().second, nBytes);

    // The recording is what the server sent from the start, each hole silent.
    std::vector<uint8_t> expected = g_holes.SentWithHolesSilent();
    ASSERT_GE(expected.size(), nBytes);
    expected.resize(nBytes);
    const auto* pRecorded = reinterpret_cast<const uint8_t*>(recorded.data());
    const size_t nSame = static_cast<size_t>(std::mismatch(expected.begin(), expected.end(), pRecorded).first -
                                             expected.begin());
    std::string holes;
    for (const auto& [nAt, nLength] : g_holes.holes)
        holes += " " + std::to_string(nAt) + "+" + std::to_string(nLength);
    EXPECT_EQ(nBytes, nSame) << "the recording differs from byte " << nSame << " on; the holes (bytes):" << holes;
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
              "    1: Stereo Mix + Microphone\n"
              "    2: Stereo Mix (Second Output)\n"
              "    3: Sine source at 440 Hz\n"
              "    4: Stereo Mix (Extra)\n"
              "1: Vorane Virtual Input\n"
              "    0: Microphone\n"
              "    1: Line In\n"
              "    2: Stereo Mix\n"
              "    3: Stereo Mix + Microphone\n",
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
