// Where a sound lands in a recording, and what a stop keeps. One playback stream of ours keeps a
// private daemon's null output running at 20 ms latency (left to itself the null output takes its
// 2 s default and places a sound anywhere within a second) and plays a short click into it at a
// chosen moment; the click's onset is then found in the decoded file. Around that: takes of the
// reference recorder (parecord at 20 ms), the command-line recorder and the window program, each
// started and stopped at known moments, with the moments as they really happened.
// Used by bench/RecordLatencyBench.
#pragma once
#include "TestSupport.h"

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace clicktiming
{
using Clock = std::chrono::steady_clock;

constexpr int kLatencyMs = 20;
constexpr int kRate = 44100;

inline double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}
inline Clock::duration After(double dSeconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dSeconds));
}

// 44.1 kHz stereo into one sink for as long as the object lives: silence, and a click when asked.
class CClickPlayer
{
public:
    CClickPlayer() = default;
    ~CClickPlayer() { Stop(); }
    CClickPlayer(const CClickPlayer&) = delete;
    CClickPlayer& operator=(const CClickPlayer&) = delete;

    // server: "unix:<path>" as PULSE_SERVER takes it.
    bool Start(const std::string& server, const std::string& sink);
    void Stop();
    // Puts the click into the stream so that it reaches the output at `when` (late if that moment
    // has passed) and returns, once it is written, the moment it reaches the output as the stream's
    // latency tells; nothing when the stream has failed.
    std::optional<Clock::time_point> PlayAt(Clock::time_point when);
    const std::string& Error() const { return m_error; }

private:
    void Run();

    void* m_pStream = nullptr;  // pa_simple
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStop = false;
    bool m_bFailed = false;
    std::optional<Clock::time_point> m_request;    // a click waiting for its chunk
    std::optional<Clock::time_point> m_scheduled;  // where the last one went
    std::string m_error;
};

// The first captures from a fresh daemon can wait seconds for the source; reads short stretches from
// the monitor until one arrives promptly. False when none does.
bool WaitUntilCaptureIsPrompt(const std::string& server, const std::string& source);

// The click in a decoded recording: the first sample of the first channel at half the file's peak.
struct ClickOnset
{
    bool found = false;
    double seconds = -1;  // from the first sample of the file
    float peak = 0;
};
ClickOnset FindClick(const DecodedAudio& audio);

// A child process in a group of its own; killed with its group if still running when the object goes.
class CChild
{
public:
    CChild() = default;
    ~CChild() { Kill(); }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    // env: "NAME=value" settings on top of this process's own; stdout and stderr go to logPath.
    // Returns the moment just before the fork: when the user would have pressed Enter.
    std::optional<Clock::time_point> Start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                                           const std::string& logPath);
    // Sends the signal; the moment it was sent.
    Clock::time_point Signal(int nSignal);
    // Exit code (128 + signal when killed) once it ended within the time-out; -1 while it runs.
    int Wait(int nTimeoutMs);
    bool Running();
    void Kill();
    pid_t Pid() const { return m_pid; }
    std::string Log() const { return ReadFileText(m_logPath); }

private:
    pid_t m_pid = -1;
    int m_nExit = -1;
    std::string m_logPath;
};

// Runs a short command to its end (xdotool and the like) without a shell; its exit code and output.
int RunQuick(const std::vector<std::string>& args, std::string* pOutput = nullptr);

// The names of the finished files of a folder (no hidden or working names).
std::vector<std::string> FinishedFiles(const std::string& folder);

// Something that records on command: the reference recorder, the command-line recorder, the window program.
class IRecorder
{
public:
    virtual ~IRecorder() = default;
    virtual std::string Name() const = 0;
    // Readies the next take: its folder (Folder() from now on) and the program's focus.
    virtual bool Ready(std::string& error) = 0;
    // Where the take's file goes; the files already there are older.
    virtual std::string Folder() const = 0;
    // Starts a take; the moment the user acted (Enter, Alt+R), or nothing with the reason in error.
    virtual std::optional<Clock::time_point> Begin(std::string& error) = 0;
    // Stops it (Ctrl+C, Alt+S); the moment the user acted.
    virtual std::optional<Clock::time_point> End(std::string& error) = 0;
    // Waits until the file is complete.
    virtual bool Finish(std::string& error) = 0;
    // How long the take's start and stop took to go out (a key typed by another program): its
    // moments are known to within this.
    virtual double Uncertainty() const { return 0; }
};

// A recorder run once per take and stopped with SIGINT: parecord, vorane-record.
class CCommandLineRecorder : public IRecorder
{
public:
    // args: the command; "{file}" and "{folder}" in it stand for the take's file and folder.
    CCommandLineRecorder(std::string name, std::vector<std::string> args, std::vector<std::string> env,
                         std::string scratch);
    std::string Name() const override { return m_name; }
    bool Ready(std::string& error) override;
    std::string Folder() const override { return m_folder; }
    std::optional<Clock::time_point> Begin(std::string& error) override;
    std::optional<Clock::time_point> End(std::string& error) override;
    bool Finish(std::string& error) override;

private:
    std::string m_name;
    std::vector<std::string> m_args;
    std::vector<std::string> m_env;
    std::string m_scratch;
    std::string m_folder;
    int m_nTake = 0;
    std::unique_ptr<CChild> m_pChild;
};

// parecord at 20 ms from the sink's monitor into "{folder}/Audio0.wav".
std::unique_ptr<IRecorder> ReferenceRecorder(const std::string& server, const std::string& sink, const std::string& scratch);
// vorane-record of VORANE_APP_DIR recording "Stereo Mix" of device 0 in the format ("wav", "mp3").
std::unique_ptr<IRecorder> CommandLineRecorder(const std::string& server, const std::string& format,
                                               const std::string& scratch);

// The window program from a fresh copy of the application directory on the current DISPLAY, with
// its own home, runtime folder and Config.xml, recording from the server; driven with xdotool.
class CWindowRecorder : public IRecorder
{
public:
    CWindowRecorder(const std::string& server, const std::string& scratch);
    ~CWindowRecorder() override;
    // Starts the program and waits for its window; false with the reason in error.
    bool Launch(std::string& error);
    std::string Name() const override { return "VoraneRecorder"; }
    bool Ready(std::string& error) override;
    std::string Folder() const override { return m_output; }
    std::optional<Clock::time_point> Begin(std::string& error) override;
    std::optional<Clock::time_point> End(std::string& error) override;
    bool Finish(std::string& error) override;
    double Uncertainty() const override { return m_dUncertainty; }
    // Closes the window as its close box does; the exit code, or -1.
    int Close();
    std::string Log() const;

private:
    std::optional<Clock::time_point> Press(const char* pszKeys, std::string& error);

    std::string m_server;
    std::string m_scratch;
    std::string m_appDir;
    std::string m_output;
    std::string m_window;
    double m_dUncertainty = 0;
    CChild m_program;
};

// One take: start, a click some time later (none when clickAfter < 0), stop some time after the start.
struct TakePlan
{
    double clickAfter = 1.5;
    double stopAfter = 3.4;
};

struct TakeResult
{
    bool ok = false;
    std::string error;
    std::string path;            // the finished file
    std::string codec;
    double clickExpected = -1;   // from the start to the click reaching the output, s
    double clickFound = -1;      // the click's onset in the file, s (codec lead included)
    double codecLead = 0;        // what the format adds at the start, s
    double held = 0;             // from the start to the stop, as acted, s
    double length = 0;           // decoded length, s (codec lead included)
    double slip = 0;             // how much later than planned the stop or the click came, s
    double uncertainty = 0;      // the start and stop moments are known to within this, s

    bool ClickFound() const { return clickFound >= 0; }
    // Where the click is against where it was played, without the codec's lead.
    double ClickError() const { return clickFound - codecLead - clickExpected; }
    // What the file keeps against the time it was recording; negative: lost.
    double KeptBeyondHeld() const { return length - codecLead - held; }
};

// Told about a take as it runs, for measurements of one's own (the benchmark's first audio on disk).
class ITakeWatcher
{
public:
    virtual ~ITakeWatcher() = default;
    // The take's folder is ready and the start comes next; false with the reason in error.
    virtual bool Watch(const std::string& folder, std::string& error) = 0;
    // The take's file (take.path) is finished and decoded.
    virtual void Judge(TakeResult& take, Clock::time_point start) = 0;
};

// Runs the take on the recorder with the player, and judges the file.
TakeResult RunTake(IRecorder& recorder, CClickPlayer& player, const TakePlan& plan, ITakeWatcher* pWatcher = nullptr);
std::string Describe(const TakeResult& take);
}  // namespace clicktiming
