// PulseBench: the sound-server backend against a private PulseAudio daemon.
// Measures the start-up cost of looking for a server (answering, absent, silent),
// the latency from StartCapture to the first audio from the server and to the
// first one-second buffer handed to the receiver, the pace of later buffers, and
// the CPU the recorder spends while recording for 30 seconds. Then the CPU of
// vorane-record making a 20-second MP3 (192 kbit/s) from "Stereo Mix + Microphone"
// (in each layout) against one from "Stereo Mix" alone, noise playing into both
// sources (goal: under 1.3 times).
#include "RecordingStart.h"
#include "DeviceThread.h"
#include "Event.h"
#include "MessageBox.h"
#include "Mixer.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#ifdef VORANE_HAVE_PULSE
#include "PulseBackend.h"
#include "PulseDaemon.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <algorithm>
#include <mutex>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <fcntl.h>
#include <csignal>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = std::fopen(path, "r");
    if (!f)
        return 0;
    char buffer[1024] = {0};
    size_t n = std::fread(buffer, 1, sizeof(buffer) - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    // Fields 14 and 15 (utime, stime) follow the command name in parentheses.
    const char* p = std::strrchr(buffer, ')');
    unsigned long utime = 0, stime = 0;
    if (p)
        std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
    return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

// Looks for a server in a child process, so each probe starts from nothing.
double ProbeStartupMs(const char* pszLabel, const std::string& server)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0)
    {
        setenv("PULSE_SERVER", server.c_str(), 1);
        auto start = Clock::now();
        UseSoundServer();
        double ms = Ms(Clock::now() - start);
        int found = waveInGetNumDevs() > 1 ? 1 : 0;
        char text[64];
        int len = std::snprintf(text, sizeof(text), "%f %d", ms, found);
        (void)!write(fds[1], text, static_cast<size_t>(len));
        _exit(0);
    }
    close(fds[1]);
    char text[64] = {0};
    (void)!read(fds[0], text, sizeof(text) - 1);
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    double ms = -1;
    int found = 0;
    std::sscanf(text, "%lf %d", &ms, &found);
    std::printf("  %-44s %8.1f ms  (%s)\n", pszLabel, ms,
                found ? "device listed" : "no device");
    return ms;
}

class CTimingReceiver : public IReceiver
{
public:
    uint32_t Write(const uint8_t*, uint32_t nSize) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_times.push_back(Clock::now());
        return nSize;
    }
    void Finish() override {}
    uint32_t KeptMilliseconds() const override { return 0; }
    std::vector<Clock::time_point> Times()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_times;
    }

private:
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_times;
};

struct Sample
{
    double firstAudioMs = 0;
    double firstBufferMs = 0;
    int nBuffers = 0;
    double meanIntervalMs = 0;
    double worstDeviationMs = 0;
    double cpu = 0;
    double daemonCpu = 0;
    double wall = 0;
};

// One recording of nBuffers seconds on the prepared line.
Sample Record(CPulseDaemon& daemon, int nBuffers)
{
    Sample s;
    CWaveIn* pDevice = GetCurrentDevice();
    CTimingReceiver receiver;
    CDeviceThread capture;
    const double cpuBefore = CpuSeconds();
    const double daemonBefore = ProcessCpuSeconds(daemon.Pid());
    const auto start = Clock::now();
    capture.StartCapture(&receiver);
    // The first audio: the device position moves once the server's first fragment arrives.
    while (Ms(Clock::now() - start) < 10000)
    {
        if (pDevice->GetPosition() > 0)
        {
            s.firstAudioMs = Ms(Clock::now() - start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    while (receiver.Times().size() < static_cast<size_t>(nBuffers) && Ms(Clock::now() - start) < (nBuffers + 10) * 1000.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto end = Clock::now();
    s.cpu = CpuSeconds() - cpuBefore;
    s.daemonCpu = ProcessCpuSeconds(daemon.Pid()) - daemonBefore;
    s.wall = Ms(end - start) / 1000.0;
    capture.StopCapture();
    capture.WaitForCaptureEnd();
    std::vector<Clock::time_point> times = receiver.Times();
    s.nBuffers = static_cast<int>(times.size());
    if (!times.empty())
        s.firstBufferMs = Ms(times[0] - start);
    for (size_t i = 1; i < times.size(); ++i)
        s.worstDeviationMs = std::max(s.worstDeviationMs, std::abs(Ms(times[i] - times[i - 1]) - 1000.0));
    if (times.size() > 1)
        s.meanIntervalMs = Ms(times.back() - times[0]) / static_cast<double>(times.size() - 1);
    return s;
}
// A player of noise into the output, in a process of its own.
pid_t PlayNoise(const char* pszSink)
{
    pid_t pid = fork();
    if (pid == 0)
    {
        int fd = open("/dev/urandom", O_RDONLY);
        dup2(fd, STDIN_FILENO);
        execlp("pacat", "pacat", "--raw", "--volume=8000", "--latency-msec=100", "-d", pszSink, nullptr);
        _exit(127);
    }
    return pid;
}

// The CPU seconds of one vorane-record run with those arguments.
double RecorderCpu(const std::string& arguments)
{
    const std::string command = std::string("exec '") + VORANE_APP_DIR + "/vorane-record' " + arguments + " >/dev/null";
    pid_t pid = fork();
    if (pid == 0)
    {
        execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("    (vorane-record %s ended with status %d)\n", arguments.c_str(), status);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BothSourcesCpu(const std::string& folder)
{
    std::system("pactl load-module module-null-sink sink_name=bench_mic >/dev/null && "
                "pactl set-default-source bench_mic.monitor");
    pid_t computer = PlayNoise(CPulseDaemon::kOutput), microphone = PlayNoise("bench_mic");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // benchmark only: let the players settle
    const std::string common = "-s 20 -f mp3 -o '" + folder + "' ";
    const double single = RecorderCpu(common + "-l 'Stereo Mix'");
    const double mixed = RecorderCpu(common + "-l 'Stereo Mix + Microphone' --both-layout mixed");
    const double side = RecorderCpu(common + "-l 'Stereo Mix + Microphone' --both-layout side");
    std::printf("MP3 192 kbit/s, 20 s with vorane-record, noise into both sources (CPU seconds):\n");
    std::printf("  \"Stereo Mix\"                          %6.3f s\n", single);
    std::printf("  \"Stereo Mix + Microphone\", mixed       %6.3f s  %.2fx (goal: under 1.3x)\n", mixed, mixed / single);
    std::printf("  \"Stereo Mix + Microphone\", side        %6.3f s  %.2fx\n", side, side / single);
    for (pid_t pid : {computer, microphone})
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}
}  // namespace

int main()
{
    SetMessageBoxHandler([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "message: %s\n", r.text.c_str());
        return IDOK;
    });
    CPulseDaemon daemon;
    if (!daemon.Start())
    {
        std::fprintf(stderr, "PulseBench: the PulseAudio daemon did not start\n%s", daemon.Log().c_str());
        return 1;
    }

    std::printf("Start-up (one fresh process each):\n");
    ProbeStartupMs("UseSoundServer, server answering", daemon.Server());
    ProbeStartupMs("UseSoundServer, no server", "unix:" + daemon.Dir() + "/nothing-here");
    {
        // A server that accepts the connection but never answers.
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string path = daemon.Dir() + "/silent";
        std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
        bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        listen(fd, 4);
        ProbeStartupMs("UseSoundServer, server never answering", "unix:" + path);
        close(fd);
    }

    daemon.UseInThisProcess();
    UseSoundServer();
    theSettings = RecorderSettings();
    PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WAV, 2, 44100, 16, 100);
    std::printf("Recording \"Stereo Mix\" of \"%s\", 44100 Hz 16-bit stereo:\n", GetCurrentDevice()->Name());

    const int nRuns = 5;
    auto latencies = [&](const char* pszTitle) {
        Sample worst{}, sum{};
        for (int i = 0; i < nRuns; ++i)
        {
            Sample s = Record(daemon, 1);
            sum.firstAudioMs += s.firstAudioMs / nRuns;
            sum.firstBufferMs += s.firstBufferMs / nRuns;
            worst.firstAudioMs = std::max(worst.firstAudioMs, s.firstAudioMs);
            worst.firstBufferMs = std::max(worst.firstBufferMs, s.firstBufferMs);
        }
        std::printf("  %s, %d runs (mean / worst):\n", pszTitle, nRuns);
        std::printf("    StartCapture to the first audio from the server   %7.1f / %7.1f ms\n", sum.firstAudioMs,
                    worst.firstAudioMs);
        std::printf("    StartCapture to the first buffer at the receiver  %7.1f / %7.1f ms\n", sum.firstBufferMs,
                    worst.firstBufferMs);
    };
    latencies("output idle");

    // Another program keeps the output busy with a 100 ms playback (silence), as a
    // desktop playing sound does; it runs in a process of its own, so its CPU is not ours.
    pid_t player = fork();
    if (player == 0)
    {
        int fd = open("/dev/zero", O_RDONLY);
        dup2(fd, STDIN_FILENO);
        execlp("pacat", "pacat", "--raw", "--latency-msec=100", "-d", CPulseDaemon::kOutput, nullptr);
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // benchmark only: let the player settle
    latencies("output playing");

    const int nSeconds = 30;
    Sample s = Record(daemon, nSeconds);
    std::printf("  %d s recording, output playing:\n", nSeconds);
    std::printf("    buffers %d, mean interval %.1f ms, worst deviation from 1 s %.1f ms\n", s.nBuffers,
                s.meanIntervalMs, s.worstDeviationMs);
    std::printf("    recorder CPU %.3f s over %.1f s: %.2f %% of one core\n", s.cpu, s.wall, 100.0 * s.cpu / s.wall);
    std::printf("    daemon CPU   %.3f s over %.1f s: %.2f %% of one core\n", s.daemonCpu, s.wall,
                100.0 * s.daemonCpu / s.wall);
    kill(player, SIGTERM);
    waitpid(player, nullptr, 0);
    FreeDevices();

    const std::string folder = daemon.Dir() + "/both";
    BothSourcesCpu(folder);
    return 0;
}
#else
#include <cstdio>
int main()
{
    std::printf("PulseBench: built without the sound-server backend\n");
    return 0;
}
#endif
