// The whole window program at work: VoraneRecorder records MP3 at 192 kbit/s
// (its default settings) with the waveform trace on, from "Stereo Mix" of a
// private PulseAudio daemon while a tone plays into the daemon's null output.
// Over the same seconds, `parecord | lame -b 192` records the same source: the
// floor any recorder of that MP3 pays. The figures: the program's CPU time
// (utime + stime from /proc/<pid>/stat) and the floor's (its processes' rusage),
// their ratio (goal: at most 1.2), the program's private memory (Anonymous of
// /proc/<pid>/smaps_rollup: heap, stacks and arenas; a library's pages count as
// private whenever no other process maps them, so they are left out) from the
// fifth second to the end (goal: flat), and its resident memory (VmRSS,
// VmHWM; goal: under 60 MB). Printed apart: the daemon's CPU, the time from Alt+R
// to the file and to its first second of sound, and what ffprobe finds in the file.
// One uncounted start first leaves the display as a desktop's is (see WarmUpDisplay).
//
//   ProgramBench [--seconds N] [--app DIR]   (60 s; DIR: another build's application directory)
#include "ProgramBench.h"
#include "PulseDaemon.h"
#include "XDisplay.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <sys/resource.h>

using namespace programbench;

namespace
{
double ProcessCpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields 14 and 15 (utime, stime) follow the command name in parentheses.
    const size_t close = stat.rfind(')');
    unsigned long utime = 0, stime = 0;
    if (close != std::string::npos)
        std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "VmRSS:"-style field of /proc/<pid>/status, in MB.
double StatusMb(pid_t pid, const char* pszField)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(pszField, 0) == 0)
            return std::atof(line.c_str() + std::strlen(pszField)) / 1024.0;
    return -1;
}

// The anonymous memory of /proc/<pid>/smaps_rollup, in MB: what the process itself allocated.
double PrivateMb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Anonymous:", 0) == 0)
            return std::atof(line.c_str() + line.find(':') + 1) / 1024.0;
    return -1;
}

// `parecord | lame` recording the same source for nSeconds, started now; Finish waits for it
// and returns the CPU seconds of all its processes.
class CFloorRecorder
{
public:
    bool Start(const std::string& server, const std::string& file, int nSeconds)
    {
        const std::string command = "timeout -s INT " + std::to_string(nSeconds) +
                                    " parecord --raw --format=s16le --rate=44100 --channels=2 -d " +
                                    CPulseDaemon::kOutput + ".monitor | lame --quiet -r -s 44.1 --bitwidth 16"
                                    " --signed --little-endian -b 192 - '" + file + "' 2>/dev/null";
        m_pid = fork();
        if (m_pid == 0)
        {
            setenv("PULSE_SERVER", server.c_str(), 1);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return m_pid > 0;
    }
    double Finish()
    {
        rusage usage{};
        int status = 0;
        if (m_pid <= 0 || wait4(m_pid, &status, 0, &usage) != m_pid)
            return -1;
        m_pid = -1;
        auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    ~CFloorRecorder()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
};

std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

// Plays a 440 Hz tone into the daemon's output without end: pacat reads 44.1 kHz stereo from a pipe
// that a thread of ours keeps full (pacat paces it in real time).
class CTonePlayer
{
public:
    bool Start(const std::string& server)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        m_pid = fork();
        if (m_pid == 0)
        {
            dup2(fds[0], STDIN_FILENO);
            close(fds[0]);
            close(fds[1]);
            setenv("PULSE_SERVER", server.c_str(), 1);
            execlp("pacat", "pacat", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                   "--latency-msec=100", "-d", CPulseDaemon::kOutput, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[0]);
        m_fd = fds[1];
        m_writer = std::thread([this] {
            std::vector<int16_t> block(2 * 4410);
            uint64_t n = 0;
            while (!m_bStop)
            {
                for (size_t i = 0; i < block.size(); i += 2, ++n)
                    block[i] = block[i + 1] =
                        static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440.0 * static_cast<double>(n) / 44100));
                if (write(m_fd, block.data(), block.size() * sizeof(int16_t)) <= 0)
                    break;
            }
        });
        return m_pid > 0;
    }

    ~CTonePlayer()
    {
        m_bStop = true;
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0)
            close(m_fd);  // a writer still blocked in write() now fails and ends
        if (m_writer.joinable())
            m_writer.join();
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::atomic<bool> m_bStop{false};
    std::thread m_writer;
};
}  // namespace

int main(int argc, char** argv)
{
    int nSeconds = 60;
    std::string sourceAppDir = VORANE_APP_DIR;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            nSeconds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--app") == 0 && i + 1 < argc)
            sourceAppDir = argv[++i];
    signal(SIGPIPE, SIG_IGN);

    CXDisplay display;
    Display* pDisplay = display.Ok() ? XOpenDisplay(display.Name().c_str()) : nullptr;
    if (!pDisplay)
    {
        std::fprintf(stderr, "ProgramBench: no private X display (Xvfb and openbox are needed)\n");
        return 1;
    }
    CScratch scratch("vorane-programbench");
    if (WarmUpDisplay(pDisplay, scratch.Path() + "/warm-up") < 0)
    {
        std::fprintf(stderr, "ProgramBench: the warm-up start failed (build the program first; log: %s/warm-up)\n",
                     scratch.Path().c_str());
        return 1;
    }

    CPulseDaemon daemon;
    if (!daemon.Start())
    {
        std::fprintf(stderr, "ProgramBench: the PulseAudio daemon did not start\n%s", daemon.Log().c_str());
        return 1;
    }
    CTonePlayer tone;
    if (!tone.Start(daemon.Server()))
    {
        std::fprintf(stderr, "ProgramBench: pacat did not start\n");
        return 1;
    }
    // The tone plays before the program starts, so the recording holds it from its first second.
    bool bPlaying = false;
    for (int i = 0; i < 500 && !bPlaying; ++i)
    {
        bPlaying = Output("pactl -s " + daemon.Server() + " list sinks short 2>/dev/null").find("RUNNING") !=
                   std::string::npos;
        if (!bPlaying)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!bPlaying)
    {
        std::fprintf(stderr, "ProgramBench: the tone does not play into the daemon's output\n");
        return 1;
    }

    // A freshly started daemon holds back its first capture for about two seconds; a short probe
    // through the output's monitor takes that wait, so the program's recording starts on time.
    bool bPrompt = false;
    for (int i = 0; i < 10 && !bPrompt; ++i)
    {
        const auto probe = Clock::now();
        Output("PULSE_SERVER=" + daemon.Server() + " parec --raw --format=s16le --rate=44100 --channels=2 -d " +
               CPulseDaemon::kOutput + ".monitor 2>/dev/null | head -c 17640 >/dev/null");
        bPrompt = Ms(Clock::now() - probe) < 500;
    }
    if (!bPrompt)
    {
        std::fprintf(stderr, "ProgramBench: the daemon's capture stays slow to start\n");
        return 1;
    }

    const std::string appDir = scratch.Path() + "/app";
    const std::string home = scratch.Path() + "/home";
    std::filesystem::create_directories(home);
    if (!FreshAppDir(appDir, sourceAppDir))
    {
        std::fprintf(stderr, "ProgramBench: cannot copy %s (build the program first)\n", sourceAppDir.c_str());
        return 1;
    }
    const std::string log = scratch.Path() + "/program.log";
    // The daemon's runtime folder is the program's: the server it finds first is this one.
    const pid_t pid = StartProgram(appDir,
                                   {{"XDG_RUNTIME_DIR", daemon.Dir()},
                                    {"PULSE_SERVER", daemon.Server()},
                                    {"HOME", home},
                                    {"XDG_CONFIG_HOME", home + "/.config"},
                                    {"NO_AT_BRIDGE", "1"}},
                                   log);
    const Window window = WaitForMainWindow(pDisplay, pid, 20000);
    if (!window)
    {
        std::fprintf(stderr, "ProgramBench: the program showed no window\n%s\n", Output("cat " + log).c_str());
        return 1;
    }
    const double rssIdle = StatusMb(pid, "VmRSS:");

    const std::string file = appDir + "/output/Audio0.mp3";
    PressKey(window, "alt+r");
    const auto pressed = Clock::now();
    for (int i = 0; i < 500 && FileSize(file) < 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double fileMs = Ms(Clock::now() - pressed);
    if (FileSize(file) < 0)
    {
        std::fprintf(stderr, "ProgramBench: Alt+R started no recording\n%s\n", Output("cat " + log).c_str());
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return 1;
    }
    // The program's capture stream, as the server lists it, shows where it records from.
    const std::string streams = Output("pactl -s " + daemon.Server() + " list source-outputs short 2>/dev/null");
    const long nStreams = std::count(streams.begin(), streams.end(), '\n');

    std::printf("VoraneRecorder recording MP3 192 kbit/s from the sound server's \"Stereo Mix\", trace on, %d s:\n",
                nSeconds);
    std::fflush(stdout);
    const double cpu0 = ProcessCpuSeconds(pid);
    const double daemonCpu0 = ProcessCpuSeconds(daemon.Pid());
    const auto start = Clock::now();
    CFloorRecorder floor;
    const bool bFloor = floor.Start(daemon.Server(), scratch.Path() + "/floor.mp3", nSeconds);
    double rssMax = 0;
    // Private memory from the fifth second on: the first seconds hold the encoder's and the view's first allocations.
    double private5 = -1, privateMax = 0;
    // The first second reaches the file once the capture has filled its first one-second buffer.
    double firstSecondMs = -1;
    for (int s = 1; s <= nSeconds; ++s)
    {
        while (firstSecondMs < 0 && Clock::now() < start + std::chrono::seconds(s))
        {
            if (FileSize(file) > 0)
                firstSecondMs = Ms(Clock::now() - pressed);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_until(start + std::chrono::seconds(s));
        rssMax = std::max(rssMax, StatusMb(pid, "VmRSS:"));
        const double privateNow = PrivateMb(pid);
        if (s == std::min(5, nSeconds))
            private5 = privateNow;
        if (s >= 5)
            privateMax = std::max(privateMax, privateNow);
    }
    const double wall = Ms(Clock::now() - start) / 1000.0;
    const double cpu = ProcessCpuSeconds(pid) - cpu0;
    const double daemonCpu = ProcessCpuSeconds(daemon.Pid()) - daemonCpu0;
    const double rssEnd = StatusMb(pid, "VmRSS:");
    const double hwm = StatusMb(pid, "VmHWM:");
    const double privateEnd = PrivateMb(pid);
    const double floorCpu = bFloor ? floor.Finish() : -1;

    PressKey(window, "alt+s");
    long long last = -1;
    for (int same = 0, i = 0; same < 10 && i < 1000; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long long size = FileSize(file);
        same = size > 0 && size == last ? same + 1 : 0;
        last = size;
    }
    const int code = CloseProgram(window, pid);

    if (rssEnd < 0)
        std::printf("  THE PROGRAM ENDED DURING THE RECORDING: the figures cover only its lifetime\n");
    std::printf("  capture streams at the server while recording: %ld%s\n", nStreams,
                nStreams >= 1 ? "" : "  (not recording from the sound server!)");
    std::printf("  Alt+R to the file created %.0f ms, to its first second written %.0f ms\n", fileMs, firstSecondMs);
    std::printf("  program CPU   %.3f s over %.1f s: %.2f %% of one core\n", cpu, wall, 100.0 * cpu / wall);
    std::printf("  floor CPU     %.3f s: parecord | lame -b 192 over the same seconds\n", floorCpu);
    if (floorCpu > 0)
        std::printf("  ratio         %.2f x the floor (goal: at most 1.2)\n", cpu / floorCpu);
    std::printf("  daemon CPU    %.3f s over %.1f s: %.2f %% of one core\n", daemonCpu, wall, 100.0 * daemonCpu / wall);
    std::printf("  program RSS   %.1f MB before recording, %.1f MB at the end, %.1f MB at most; VmHWM %.1f MB"
                " (goal: under 60 MB)\n",
                rssIdle, rssEnd, rssMax, hwm);
    std::printf("  private       %.2f MB at 5 s, %.2f MB at the end, %.2f MB at most: %+.2f MB (goal: flat)\n",
                private5, privateEnd, privateMax, privateEnd - private5);
    const std::string probe =
        Output("ffprobe -v error -show_entries format=duration,bit_rate -of default=nw=1 '" + file + "' 2>/dev/null");
    std::string oneLine = probe;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::printf("  file          %s: %lld bytes, %s\n", "output/Audio0.mp3", FileSize(file), oneLine.c_str());
    std::printf("  exit code after the close: %d\n", code);
    XCloseDisplay(pDisplay);
    return code == 0 && nStreams >= 1 ? 0 : 1;
}
