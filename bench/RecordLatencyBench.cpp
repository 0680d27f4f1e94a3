// RecordLatencyBench: how promptly each recorder starts and how faithfully it places and keeps what
// was played. A private PulseAudio daemon's null output runs at 20 ms latency, kept busy by one stream
// of ours that also plays a 10 ms click 1.5 s after each start; parecord at 20 ms is the reference.
// For parecord, vorane-record (WAV and MP3) and the window program (Alt+R, Alt+S on a private display),
// median and worst over the takes of:
//   - the start (process start, or the moment xdotool sent Alt+R) to the first audio past the header
//     on disk, seen by watching the output folder (a working name that is renamed later counts);
//   - the click's place in the file against where it was played, and against parecord's;
//   - what the file keeps against the time it was recording (decoded length - held time), for a stop
//     3.4 s and 1.8 s after the start; and the part of that lost at the stop itself, which is the same
//     less what the late start already lost (the click's place tells it; the 1.8 s take has its own
//     click at 0.9 s for that).
// MP3 figures leave out the codec's lead (encoder priming and decoder delay that FFmpeg decodes when the
// file has no LAME tag); the lead is printed apart. One uncounted round first warms the caches.
//
//   RecordLatencyBench [--takes N] [--pause-only]   (10 takes by default; --pause-only: only the pause takes)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef VORANE_HAVE_CLICK_TIMING
#include "ClickTiming.h"
#include "MessageBox.h"
#include "Mixer.h"
#include "Mp3Frames.h"
#include "PulseBackend.h"
#include "PulseDaemon.h"
#include "RecorderSettings.h"
#include "RecordingSession.h"
#include "WaveIn.h"
#include "XDisplay.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace clicktiming;

namespace
{
constexpr double kClickAfter = 1.5;
constexpr double kLongStop = 3.4;
constexpr double kShortClickAfter = 0.9;
constexpr double kShortStop = 1.8;
constexpr double kGoalMs = 50;

// Where audio begins in a file: past the WAV header, or past the encoder's tag frame of an MP3 file.
long long AudioDataOffset(const std::string& path)
{
    const std::string b = ReadFileText(path);
    if (b.compare(0, 4, "RIFF") == 0 && b.size() >= 12)
    {
        for (size_t pos = 12; pos + 8 <= b.size();)
        {
            const size_t nSize = LE32(reinterpret_cast<const uint8_t*>(b.data()) + pos + 4);
            if (b.compare(pos, 4, "data") == 0)
                return static_cast<long long>(pos + 8);
            pos += 8 + nSize + (nSize & 1);
        }
        return 44;
    }
    const Mp3Walk walk = WalkMp3File(path);
    if (walk.frames.empty())
        return 0;
    const std::string first = b.substr(walk.frames[0].offset, walk.frames[0].length);
    const bool bTagFrame = first.find("Xing") != std::string::npos || first.find("Info") != std::string::npos;
    return bTagFrame ? static_cast<long long>(walk.frames[0].length) : 0;
}

// The first audio of a take on disk: every file created, grown or renamed in the take's folder, with
// the moment it was seen (inotify).
class CAudioOnDisk : public ITakeWatcher
{
public:
    ~CAudioOnDisk() override { Stop(); }
    double startToAudio = -1;  // from the start to the first audio past the header on disk, s; -1: not seen

    bool Watch(const std::string& folder, std::string& error) override
    {
        Stop();
        m_folder = folder;
        m_seen.clear();
        startToAudio = -1;
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0 && inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) < 0)
        {
            close(m_fd);
            m_fd = -1;
        }
        if (m_fd < 0)
        {
            error = "cannot watch " + folder;
            return false;
        }
        m_bStop = false;
        m_thread = std::thread([this] { Run(); });
        return true;
    }

    void Judge(TakeResult& take, Clock::time_point start) override
    {
        Stop();
        // A working name (".Audio0.mp3.part") counts for the file it becomes.
        const std::string name = std::filesystem::path(take.path).filename().string();
        const long long nHeader = AudioDataOffset(take.path);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Seen& seen : m_seen)
            if (seen.name.find(name) != std::string::npos && seen.size > nHeader)
            {
                startToAudio = Seconds(seen.at - start);
                break;
            }
    }

private:
    void Run()
    {
        alignas(inotify_event) char buffer[8192];
        pollfd p{m_fd, POLLIN, 0};
        while (!m_bStop)
        {
            if (poll(&p, 1, 20) <= 0)
                continue;
            const auto at = Clock::now();
            const ssize_t n = read(m_fd, buffer, sizeof(buffer));
            for (ssize_t pos = 0; n > 0 && pos < n;)
            {
                const auto* pEvent = reinterpret_cast<const inotify_event*>(buffer + pos);
                pos += static_cast<ssize_t>(sizeof(inotify_event) + pEvent->len);
                if (pEvent->len == 0)
                    continue;
                struct stat st;
                const std::string name = pEvent->name;
                const long long size = stat((m_folder + "/" + name).c_str(), &st) == 0 ? st.st_size : -1;
                std::lock_guard<std::mutex> lock(m_mutex);
                m_seen.push_back({at, name, size});
            }
        }
    }

    void Stop()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

    struct Seen
    {
        Clock::time_point at;
        std::string name;
        long long size;
    };
    std::string m_folder;
    int m_fd = -1;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Seen> m_seen;
};

struct Series
{
    std::vector<double> values;
    int nMissing = 0;
    void Add(bool bHave, double d)
    {
        if (bHave)
            values.push_back(d);
        else
            ++nMissing;
    }
    double Median() const
    {
        if (values.empty())
            return NAN;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    // The value farthest from zero the way `worse` says: largest, smallest, or largest in size.
    double Worst(const std::function<bool(double, double)>& worse) const
    {
        if (values.empty())
            return NAN;
        return *std::max_element(values.begin(), values.end(), [&](double a, double b) { return worse(b, a); });
    }
};

bool Larger(double a, double b) { return a > b; }
bool Smaller(double a, double b) { return a < b; }
bool FartherFromZero(double a, double b) { return std::abs(a) > std::abs(b); }

struct Program
{
    Program(IRecorder* p, std::string name) : pRecorder(p), label(std::move(name)) {}
    IRecorder* pRecorder;
    std::string label;
    Series startToAudio, clickError, clickRaw, keptLong, keptShort, lostAtStop, lead;
    std::vector<std::string> codecs;
    std::vector<std::string> failures;

    void Take(CClickPlayer& player)
    {
        const TakeResult longTake = RunTake(*pRecorder, player, {kClickAfter, kLongStop}, m_watch.get());
        if (Count(longTake, keptLong))
        {
            clickError.Add(longTake.ClickFound(), 1000 * longTake.ClickError());
            clickRaw.Add(longTake.ClickFound(), 1000 * (longTake.clickFound - longTake.clickExpected));
            lead.Add(true, 1000 * longTake.codecLead);
        }
        Count(RunTake(*pRecorder, player, {kShortClickAfter, kShortStop}, m_watch.get()), keptShort);
    }

private:
    std::shared_ptr<CAudioOnDisk> m_watch = std::make_shared<CAudioOnDisk>();

    bool Count(const TakeResult& take, Series& kept)
    {
        if (!take.ok)
        {
            failures.push_back(take.error);
            return false;
        }
        startToAudio.Add(m_watch->startToAudio >= 0, 1000 * m_watch->startToAudio);
        kept.Add(true, 1000 * take.KeptBeyondHeld());
        // A late start shows as a click found early: what is missing beyond that went at the stop.
        lostAtStop.Add(take.ClickFound(), 1000 * (take.KeptBeyondHeld() - take.ClickError()));
        if (std::find(codecs.begin(), codecs.end(), take.codec) == codecs.end())
            codecs.push_back(take.codec);
        return true;
    }
};

// The onsets of every click in the first channel: a sample at half the file's peak after 0.1 s below it.
std::vector<double> ClickOnsets(const DecodedAudio& audio)
{
    std::vector<double> onsets;
    float peak = 0;
    for (float x : audio.firstChannel)
        peak = std::max(peak, std::abs(x));
    const size_t nQuiet = static_cast<size_t>(audio.sampleRate / 10);
    size_t nLastLoud = 0;
    bool bAny = false;
    for (size_t i = 0; peak > 0 && i < audio.firstChannel.size(); ++i)
        if (std::abs(audio.firstChannel[i]) >= peak / 2)
        {
            if (!bAny || i - nLastLoud > nQuiet)
                onsets.push_back(static_cast<double>(i) / audio.sampleRate);
            nLastLoud = i;
            bAny = true;
        }
    return onsets;
}

// Pause and resume on the server, in this process, through the session both programs record with.
struct PauseTakes
{
    Series join;        // the click after the resume against where the time recorded puts it, ms
    Series startError;  // the click before the pause against where it was played, ms
    int nLeaked = 0;    // takes holding the click played while paused
    std::vector<std::string> failures;

    void Take(CClickPlayer& player, const std::string& folder)
    {
        std::filesystem::create_directories(folder);
        RecordingRequest request;
        request.nOutputFormat = OUTPUT_FORMAT_WAV;
        request.folder = folder;
        CRecordingSession session;
        const Clock::time_point start = Clock::now();
        if (!session.Start(request, nullptr))
            return failures.push_back("the session did not start");
        const auto clickBefore = player.PlayAt(start + After(1.0));
        std::this_thread::sleep_until(start + After(1.6));
        const Clock::time_point paused = Clock::now();
        const bool bPaused = session.Pause();
        const auto clickPaused = player.PlayAt(paused + After(0.4));
        std::this_thread::sleep_until(paused + After(1.0));
        const Clock::time_point resumed = Clock::now();
        const bool bResumed = session.Resume();
        const auto clickAfter = player.PlayAt(resumed + After(0.5));
        std::this_thread::sleep_until(resumed + After(1.2));
        session.Stop();
        const RecordingOutcome outcome = session.Finish(nullptr, true);
        session.FreeReceivers();
        if (!bPaused || !bResumed || !outcome.bKept || !clickBefore || !clickPaused || !clickAfter)
            return failures.push_back("the take did not pause, resume or keep its file: " + outcome.message);
        const std::vector<double> onsets = ClickOnsets(DecodeFile(outcome.path));
        std::filesystem::remove(outcome.path);
        if (onsets.size() < 2)
            return failures.push_back(std::to_string(onsets.size()) + " clicks in the file");
        nLeaked += onsets.size() > 2;
        const double dStartError = onsets.front() - Seconds(*clickBefore - start);
        const double dExpected = Seconds(paused - start) + Seconds(*clickAfter - resumed);
        startError.Add(true, 1000 * dStartError);
        join.Add(true, 1000 * (onsets.back() - dStartError - dExpected));
    }
};

std::string Cell(double d, bool bSigned = true)
{
    if (std::isnan(d))
        return "-";
    char text[32];
    std::snprintf(text, sizeof(text), bSigned ? "%+.0f" : "%.0f", d);
    return text;
}

std::string Pair(const Series& s, bool (*worse)(double, double), bool bSigned = true)
{
    std::string text = Cell(s.Median(), bSigned) + " / " + Cell(s.Worst(worse), bSigned);
    if (s.nMissing)
        text += " (" + std::to_string(s.nMissing) + " none)";
    return text;
}

int Run(int nTakes, bool bPauseOnly)
{
    signal(SIGPIPE, SIG_IGN);
    av_log_set_level(AV_LOG_ERROR);  // FFmpeg's remarks on MP3 files without a length header
    char scratchName[] = "/tmp/vorane-latency-XXXXXX";
    if (!mkdtemp(scratchName))
        return std::fprintf(stderr, "RecordLatencyBench: no scratch folder\n"), 1;
    const std::string scratch = scratchName;
    struct Cleanup
    {
        std::string path;
        ~Cleanup()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } cleanup{scratch};

    CPulseDaemon daemon;
    if (!daemon.Start())
        return std::fprintf(stderr, "RecordLatencyBench: the PulseAudio daemon did not start\n%s", daemon.Log().c_str()), 1;
    CClickPlayer player;
    if (!player.Start(daemon.Server(), CPulseDaemon::kOutput))
        return std::fprintf(stderr, "RecordLatencyBench: %s\n", player.Error().c_str()), 1;
    if (!WaitUntilCaptureIsPrompt(daemon.Server(), std::string(CPulseDaemon::kOutput) + ".monitor"))
        return std::fprintf(stderr, "RecordLatencyBench: the daemon's capture stays slow to start\n"), 1;

    std::unique_ptr<IRecorder> reference = ReferenceRecorder(daemon.Server(), CPulseDaemon::kOutput, scratch);
    std::unique_ptr<IRecorder> cliWav = CommandLineRecorder(daemon.Server(), "wav", scratch);
    std::unique_ptr<IRecorder> cliMp3 = CommandLineRecorder(daemon.Server(), "mp3", scratch);
    std::vector<Program> programs = {{reference.get(), "parecord (reference)"},
                                     {cliWav.get(), "vorane-record WAV"},
                                     {cliMp3.get(), "vorane-record MP3"}};

    if (bPauseOnly)
        programs.clear();
    CXDisplay display;
    std::unique_ptr<CWindowRecorder> window;
    std::string windowError = "no private X display (Xvfb and openbox are needed)";
    if (display.Ok() && !bPauseOnly)
    {
        window = std::make_unique<CWindowRecorder>(daemon.Server(), scratch + "/window");
        if (window->Launch(windowError))
            programs.push_back({window.get(), "VoraneRecorder (window)"});
        else
            window.reset();
    }
    if (!window && !bPauseOnly)
        std::fprintf(stderr, "RecordLatencyBench: the window program is left out: %s\n", windowError.c_str());

    if (!programs.empty())
        std::fprintf(stderr, "RecordLatencyBench: one uncounted round, then %d takes of each program\n", nTakes);
    for (Program& p : programs)
        RunTake(*p.pRecorder, player, {-1, 2.5});
    for (int i = 0; i < nTakes && !programs.empty(); ++i)
    {
        // Round by round, so a busy spell of the machine falls on every program alike.
        for (Program& p : programs)
            p.Take(player);
        std::fprintf(stderr, "  round %d of %d done\n", i + 1, nTakes);
    }
    int nWindowExit = window ? window->Close() : 0;

    // The session in this process records from the same server as the programs did.
    setenv("PULSE_SERVER", daemon.Server().c_str(), 1);
    SetMessageBoxHandler([](const MessageBoxRequest& request) {
        std::fprintf(stderr, "RecordLatencyBench: %s\n", request.text.c_str());
        return IDOK;
    });
    UseSoundServer();
    PauseTakes pauses;
    if (!EnumDevices().empty())
    {
        theSettings.DeviceIndex = 0;
        CMixer& mixer = EnumDevices()[0]->GetMixer();
        for (size_t i = 0; i < mixer.GetLineCount(); ++i)
            if (std::string("Stereo Mix") == mixer.GetLine(i)->Name())
                theSettings.LineIndex = static_cast<int>(i);
        mixer.Close();
    }
    for (int i = 0; i < nTakes; ++i)
        pauses.Take(player, scratch + "/pause-" + std::to_string(i));
    FreeDevices();

    const double referenceClick = programs.empty() ? NAN : programs[0].clickError.Median();
    std::printf("Where a click lands and what a stop keeps: %d takes each, null output at %d ms. Milliseconds,\n"
                "\"median / worst\".\n\n", nTakes, kLatencyMs);
    std::printf("Start (the click %.1f s after it)\n", kClickAfter);
    std::printf("  %-25s %-24s %-24s %s\n", "program", "to first audio on disk", "click offset error", "vs parecord");
    for (const Program& p : programs)
        std::printf("  %-25s %-24s %-24s %s\n", p.label.c_str(), Pair(p.startToAudio, Larger, false).c_str(),
                    Pair(p.clickError, FartherFromZero).c_str(), Cell(p.clickError.Median() - referenceClick).c_str());
    std::printf("\nStop (decoded length - held time; lost at the stop: the same less what the start lost)\n");
    std::printf("  %-25s %-24s %-24s %s\n", "program", "stop after 3.4 s", "stop after 1.8 s", "lost at the stop");
    for (const Program& p : programs)
        std::printf("  %-25s %-24s %-24s %s\n", p.label.c_str(), Pair(p.keptLong, Smaller).c_str(),
                    Pair(p.keptShort, Smaller).c_str(), Pair(p.lostAtStop, Smaller).c_str());
    std::printf("\n");
    for (const Program& p : programs)
    {
        std::string codecs;
        for (const std::string& c : p.codecs)
            codecs += (codecs.empty() ? "" : ", ") + c;
        std::printf("%-25s %s", p.label.c_str(), codecs.c_str());
        if (p.lead.Median() > 0)
            std::printf(", no LAME tag: FFmpeg decodes %.0f ms of encoder priming and decoder delay first (left out"
                        " above; with it the click is at %s ms)", p.lead.Median(), Cell(p.clickRaw.Median()).c_str());
        std::printf("%s\n", p.failures.empty() ? "" : ("; " + std::to_string(p.failures.size()) + " takes failed:").c_str());
        for (const std::string& failure : p.failures)
            std::printf("    %s\n", failure.substr(0, 300).c_str());
    }

    std::printf("\nPause and resume (WAV, the session both programs share; paused 1.6 s after the start for 1.0 s)\n");
    std::printf("  %-25s %-24s %-24s %s\n", "", "click before the pause", "join at the pause", "click while paused kept");
    std::printf("  %-25s %-24s %-24s %d of %zu takes\n", "recording session", Pair(pauses.startError, FartherFromZero).c_str(),
                Pair(pauses.join, FartherFromZero).c_str(), pauses.nLeaked, pauses.join.values.size());
    for (const std::string& failure : pauses.failures)
        std::printf("    %s\n", failure.substr(0, 300).c_str());

    std::printf("\nGoals: click offset error under %.0f ms; nothing lost after Stop beyond %.0f ms.\n", kGoalMs, kGoalMs);
    auto verdict = [](const Series& s, bool (*worse)(double, double), bool (*within)(double)) {
        const double median = s.Median(), worst = s.Worst(worse);
        if (std::isnan(median) || s.nMissing)
            return std::string("MISSED (takes without a click)");
        return std::string(within(median) ? "met" : "MISSED") + " by the median, " + (within(worst) ? "met" : "MISSED") +
               " by the worst";
    };
    for (const Program& p : programs)
    {
        std::printf("  %-25s offset %s\n", p.label.c_str(),
                    verdict(p.clickError, FartherFromZero, [](double d) { return std::abs(d) < kGoalMs; }).c_str());
        std::printf("  %-25s stop   %s\n", "",
                    verdict(p.lostAtStop, Smaller, [](double d) { return d > -kGoalMs; }).c_str());
    }
    std::printf("  %-25s join   %s\n", "pause and resume",
                verdict(pauses.join, FartherFromZero, [](double d) { return std::abs(d) < kGoalMs; }).c_str());
    if (window)
        std::printf("  (the window program's exit code after the close: %d)\n", nWindowExit);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    int nTakes = 10;
    bool bPauseOnly = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--takes") == 0 && i + 1 < argc)
            nTakes = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--pause-only") == 0)
            bPauseOnly = true;
    return Run(nTakes, bPauseOnly);
}

#else
int main()
{
    std::fprintf(stderr, "RecordLatencyBench: built without libpulse, libpulse-simple, the pulseaudio daemon or the tests\n");
    return 1;
}
#endif
