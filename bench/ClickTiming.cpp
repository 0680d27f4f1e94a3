#include "ClickTiming.h"
#include "Mp3Frames.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace clicktiming
{
namespace
{
// 10 ms of 2 kHz at -2 dBFS, starting at phase 0: its onset is within two samples of where it was put.
constexpr size_t kClickFrames = kRate / 100;
constexpr double kClickAmplitude = 0.8;
constexpr double kClickFrequency = 2000;
// The stream is fed in 5 ms pieces, so a requested moment falls into the next piece or the one after.
constexpr size_t kChunkFrames = kRate / 200;

int16_t ClickSample(size_t nFrame)
{
    return static_cast<int16_t>(
        std::lround(32767 * kClickAmplitude * std::sin(2 * M_PI * kClickFrequency * static_cast<double>(nFrame) / kRate)));
}

pa_sample_spec StereoFormat()
{
    return pa_sample_spec{PA_SAMPLE_S16LE, kRate, 2};
}

// This process's environment with the settings ("NAME=value") put over it; built before a fork, since
// the child of a process with threads should do no more than exec.
std::vector<std::string> Environment(const std::vector<std::string>& settings)
{
    std::vector<std::string> env;
    for (char** p = environ; *p; ++p)
    {
        const std::string entry = *p;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(settings.begin(), settings.end(), [&](const std::string& s) { return s.rfind(name, 0) == 0; }))
            env.push_back(entry);
    }
    env.insert(env.end(), settings.begin(), settings.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}
}  // namespace

// ---- the click ------------------------------------------------------------------------------------

bool CClickPlayer::Start(const std::string& server, const std::string& sink)
{
    Stop();
    const pa_sample_spec format = StereoFormat();
    const uint32_t nAny = static_cast<uint32_t>(-1);
    // 20 ms in all: the server then runs the null output with blocks of that size or less.
    pa_buffer_attr attr{nAny, static_cast<uint32_t>(pa_usec_to_bytes(kLatencyMs * PA_USEC_PER_MSEC, &format)), nAny, nAny,
                        nAny};
    int nError = 0;
    pa_simple* pStream = pa_simple_new(server.c_str(), "Vorane click", PA_STREAM_PLAYBACK, sink.c_str(), "Click", &format,
                                       nullptr, &attr, &nError);
    if (!pStream)
    {
        m_error = std::string("cannot play into ") + sink + ": " + pa_strerror(nError);
        return false;
    }
    m_pStream = pStream;
    m_bStop = false;
    m_bFailed = false;
    m_request.reset();
    m_scheduled.reset();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CClickPlayer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    if (m_pStream)
        pa_simple_free(static_cast<pa_simple*>(m_pStream));
    m_pStream = nullptr;
}

std::optional<Clock::time_point> CClickPlayer::PlayAt(Clock::time_point when)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_pStream || m_bFailed)
        return std::nullopt;
    m_scheduled.reset();
    m_request = when;
    // A stream that stops taking data fails the click rather than the caller.
    if (!m_changed.wait_until(lock, std::max(when, Clock::now()) + std::chrono::seconds(5),
                              [this] { return m_scheduled || m_bFailed || m_bStop; }))
    {
        m_request.reset();
        m_error = "the click stream stopped taking data";
    }
    return m_scheduled;
}

void CClickPlayer::Run()
{
    pa_simple* pStream = static_cast<pa_simple*>(m_pStream);
    std::vector<int16_t> chunk(2 * kChunkFrames);
    size_t nClickDone = kClickFrames;  // frames of the current click already written
    for (;;)
    {
        std::fill(chunk.begin(), chunk.end(), 0);
        size_t nFrom = 0;  // where the click goes on in this chunk
        bool bPlaced = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_bStop)
                break;
            if (m_request && nClickDone == kClickFrames)
            {
                // What is written now reaches the output after what the stream and the output hold.
                int nError = 0;
                const pa_usec_t latency = pa_simple_get_latency(pStream, &nError);
                const auto now = Clock::now();
                if (latency == static_cast<pa_usec_t>(-1))
                {
                    m_error = std::string("no latency from the stream: ") + pa_strerror(nError);
                    m_bFailed = true;
                    lock.unlock();
                    m_changed.notify_all();
                    break;
                }
                const auto reaches = now + std::chrono::microseconds(latency);
                const double dLead = Seconds(*m_request - reaches);
                if (dLead < static_cast<double>(kChunkFrames) / kRate)
                {
                    nFrom = static_cast<size_t>(std::max(0.0, std::floor(dLead * kRate)));
                    m_scheduled = reaches + After(static_cast<double>(nFrom) / kRate);
                    m_request.reset();
                    nClickDone = 0;
                    bPlaced = true;
                }
            }
        }
        for (size_t i = nFrom; i < kChunkFrames && nClickDone < kClickFrames; ++i, ++nClickDone)
            chunk[2 * i] = chunk[2 * i + 1] = ClickSample(nClickDone);
        int nError = 0;
        if (pa_simple_write(pStream, chunk.data(), chunk.size() * sizeof(int16_t), &nError) < 0)
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_error = std::string("the click stream failed: ") + pa_strerror(nError);
            m_bFailed = true;
            m_scheduled.reset();
            bPlaced = true;
        }
        if (bPlaced)
            m_changed.notify_all();
        if (m_bFailed)
            break;
    }
}

bool WaitUntilCaptureIsPrompt(const std::string& server, const std::string& source)
{
    const pa_sample_spec format = StereoFormat();
    const uint32_t nAny = static_cast<uint32_t>(-1);
    pa_buffer_attr attr{nAny, nAny, nAny, nAny,
                        static_cast<uint32_t>(pa_usec_to_bytes(kLatencyMs * PA_USEC_PER_MSEC, &format))};
    std::vector<int16_t> buffer(2 * kRate / 10);
    for (int i = 0; i < 10; ++i)
    {
        const auto start = Clock::now();
        pa_simple* pStream = pa_simple_new(server.c_str(), "Vorane probe", PA_STREAM_RECORD, source.c_str(), "Probe", &format,
                                           nullptr, &attr, nullptr);
        if (!pStream)
            return false;
        const bool bRead = pa_simple_read(pStream, buffer.data(), buffer.size() * sizeof(int16_t), nullptr) == 0;
        pa_simple_free(pStream);
        if (!bRead)
            return false;
        if (Seconds(Clock::now() - start) < 0.5)
            return true;
    }
    return false;
}

// ---- files ----------------------------------------------------------------------------------------

ClickOnset FindClick(const DecodedAudio& audio)
{
    ClickOnset onset;
    const std::vector<float>& s = audio.firstChannel;
    for (float x : s)
        onset.peak = std::max(onset.peak, std::abs(x));
    // Well above a codec's noise and far below the click, whatever level the line was recorded at.
    if (onset.peak < 0.05f || audio.sampleRate <= 0)
        return onset;
    for (size_t i = 0; i < s.size(); ++i)
        if (std::abs(s[i]) >= onset.peak / 2)
        {
            onset.found = true;
            onset.seconds = static_cast<double>(i) / audio.sampleRate;
            break;
        }
    return onset;
}

// An MP3 file without an encoder's tag frame (a Xing/Info frame naming the encoder) keeps the
// encoder's priming and the decoder's delay (1105 samples) in what FFmpeg decodes; with one, FFmpeg
// takes them off. LAME also writes its name into ordinary frames: only the tag frame counts.
static double CodecLeadSeconds(const std::string& path, int nSampleRate)
{
    const Mp3Walk walk = WalkMp3File(path);
    if (walk.frames.empty() || nSampleRate <= 0)
        return 0;
    const std::string first = ReadFileText(path).substr(walk.frames[0].offset, walk.frames[0].length);
    auto has = [&](const char* psz) { return first.find(psz) != std::string::npos; };
    if ((has("Xing") || has("Info")) && (has("LAME") || has("Lavc") || has("Lavf")))
        return 0;
    return 1105.0 / nSampleRate;
}

// ---- processes ------------------------------------------------------------------------------------

std::optional<Clock::time_point> CChild::Start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                                               const std::string& logPath)
{
    Kill();
    m_logPath = logPath;
    m_nExit = -1;
    std::vector<std::string> argStrings = args, envStrings = Environment(env);
    const std::vector<char*> argv = Pointers(argStrings), envp = Pointers(envStrings);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    const auto at = Clock::now();
    m_pid = fork();
    if (m_pid == 0)
    {
        // Its own group, so a window program's helpers go with it; and it dies with us.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(null, STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        // A stop is ours to send: the child must not inherit a blocked or ignored SIGINT.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGINT, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(log);
    close(null);
    if (m_pid < 0)
        return std::nullopt;
    setpgid(m_pid, m_pid);
    return at;
}

Clock::time_point CChild::Signal(int nSignal)
{
    const auto at = Clock::now();
    if (m_pid > 0)
        kill(m_pid, nSignal);
    return at;
}

bool CChild::Running()
{
    int status = 0;
    if (m_pid > 0 && m_nExit < 0 && waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_nExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_pid > 0 && m_nExit < 0;
}

int CChild::Wait(int nTimeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (Running() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return Running() ? -1 : m_nExit;
}

void CChild::Kill()
{
    if (m_pid <= 0)
        return;
    if (Running())
    {
        kill(-m_pid, SIGKILL);
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    else
        kill(-m_pid, SIGKILL);  // whatever it left running in its group
    m_pid = -1;
}

int RunQuick(const std::vector<std::string>& args, std::string* pOutput)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    std::vector<std::string> argStrings = args;
    const std::vector<char*> argv = Pointers(argStrings);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0)
    {
        dup2(null, STDIN_FILENO);
        dup2(fds[1], STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(null);
    close(fds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof(buffer))) != 0;)
        if (n > 0)
            output.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    close(fds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    if (pOutput)
        *pOutput = output;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> FinishedFiles(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
    {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec) && name[0] != '.' && !name.ends_with(".part"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---- the recorders --------------------------------------------------------------------------------

CCommandLineRecorder::CCommandLineRecorder(std::string name, std::vector<std::string> args, std::vector<std::string> env,
                                           std::string scratch)
    : m_name(std::move(name)), m_args(std::move(args)), m_env(std::move(env)), m_scratch(std::move(scratch))
{
}

bool CCommandLineRecorder::Ready(std::string& error)
{
    // A folder of its own for every take: the file is the only one in it.
    m_folder = m_scratch + "/" + m_name + "-" + std::to_string(++m_nTake);
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec)
        error = "cannot make " + m_folder + ": " + ec.message();
    return !ec;
}

std::optional<Clock::time_point> CCommandLineRecorder::Begin(std::string& error)
{
    std::vector<std::string> args;
    for (const std::string& a : m_args)
        args.push_back(Replace(Replace(a, "{folder}", m_folder), "{file}", m_folder + "/Audio0.wav"));
    m_pChild = std::make_unique<CChild>();
    const auto at = m_pChild->Start(args, m_env, m_folder + "/../" + m_name + "-" + std::to_string(m_nTake) + ".log");
    if (!at)
        error = "cannot start " + args[0];
    return at;
}

std::optional<Clock::time_point> CCommandLineRecorder::End(std::string& error)
{
    if (!m_pChild || !m_pChild->Running())
    {
        error = m_name + " ended before it was stopped: " + (m_pChild ? m_pChild->Log() : "");
        return std::nullopt;
    }
    return m_pChild->Signal(SIGINT);
}

bool CCommandLineRecorder::Finish(std::string& error)
{
    if (!m_pChild)
        return false;
    const int nExit = m_pChild->Wait(20000);
    if (nExit != 0)
        error = m_name + (nExit < 0 ? " did not end after Ctrl+C" : " ended with code " + std::to_string(nExit)) + ": " +
                m_pChild->Log();
    m_pChild.reset();
    return nExit == 0;
}

std::unique_ptr<IRecorder> ReferenceRecorder(const std::string& server, const std::string& sink, const std::string& scratch)
{
    return std::make_unique<CCommandLineRecorder>(
        "parecord",
        std::vector<std::string>{"parecord", "--latency-msec=" + std::to_string(kLatencyMs), "--file-format=wav",
                                 "--format=s16le", "--rate=" + std::to_string(kRate), "--channels=2", "-d",
                                 sink + ".monitor", "{file}"},
        std::vector<std::string>{"PULSE_SERVER=" + server}, scratch);
}

std::unique_ptr<IRecorder> CommandLineRecorder(const std::string& server, const std::string& format, const std::string& scratch)
{
    // Long enough never to end by itself: every take is ended with Ctrl+C.
    return std::make_unique<CCommandLineRecorder>(
        "vorane-record-" + format,
        std::vector<std::string>{std::string(VORANE_APP_DIR) + "/vorane-record", "-s", "60", "-f", format, "-o", "{folder}",
                                 "-d", "0", "-l", "Stereo Mix"},
        std::vector<std::string>{"PULSE_SERVER=" + server}, scratch);
}

CWindowRecorder::CWindowRecorder(const std::string& server, const std::string& scratch)
    : m_server(server), m_scratch(scratch), m_appDir(scratch + "/app"), m_output(scratch + "/recordings")
{
}

CWindowRecorder::~CWindowRecorder()
{
    if (m_program.Running() && !m_window.empty())
        Close();
    m_program.Kill();
}

bool CWindowRecorder::Launch(std::string& error)
{
    std::error_code ec;
    fs::remove_all(m_appDir, ec);
    fs::create_directories(m_scratch, ec);
    fs::copy(VORANE_APP_DIR, m_appDir, fs::copy_options::recursive, ec);
    if (ec || !fs::exists(m_appDir + "/VoraneRecorder"))
    {
        error = std::string("cannot copy the application directory ") + VORANE_APP_DIR + " (build the program first)";
        return false;
    }
    fs::remove_all(m_appDir + "/output", ec);
    for (const char* pszFolder : {"/recordings", "/home", "/run"})
        fs::create_directories(m_scratch + pszFolder, ec);
    chmod((m_scratch + "/run").c_str(), 0700);
    // Recordings into a folder of ours, as WAV; a program that does not keep the format records its
    // default (MP3), and the takes say which codec they found.
    std::ofstream(m_appDir + "/Config.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config>\n  <Setting>\n"
                                            << "    <SavedDirectry>" << m_output << "</SavedDirectry>\n  </Setting>\n"
                                            << "  <Recording>\n    <Format>WAV</Format>\n  </Recording>\n</Config>\n";
    if (!m_program.Start({m_appDir + "/VoraneRecorder"},
                         {"XDG_RUNTIME_DIR=" + m_scratch + "/run", "HOME=" + m_scratch + "/home",
                          "XDG_CONFIG_HOME=" + m_scratch + "/home/.config", "PULSE_SERVER=" + m_server, "NO_AT_BRIDGE=1"},
                         m_scratch + "/program.log"))
    {
        error = "cannot start the program";
        return false;
    }
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (m_window.empty() && m_program.Running() && Clock::now() < end)
    {
        std::string windows;
        RunQuick({"xdotool", "search", "--onlyvisible", "--class", "^org\\.vorane\\.Recorder$"}, &windows);
        std::istringstream in(windows);
        for (std::string window; std::getline(in, window);)
        {
            std::string pid;
            RunQuick({"xprop", "-id", window, "_NET_WM_PID"}, &pid);
            if (pid.find('=') != std::string::npos && std::atol(pid.c_str() + pid.find('=') + 1) == m_program.Pid())
                m_window = window;
        }
        if (m_window.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (m_window.empty())
    {
        error = "the program showed no window: " + Log();
        return false;
    }
    return true;
}

bool CWindowRecorder::Ready(std::string& error)
{
    if (!m_program.Running())
    {
        error = "the program has ended: " + Log();
        return false;
    }
    // A message left by the take before (a recording too short to keep) would take the keys: answer it.
    std::string windows;
    RunQuick({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(m_program.Pid())}, &windows);
    std::istringstream in(windows);
    for (std::string window; std::getline(in, window);)
        if (window != m_window)
            RunQuick({"xdotool", "windowactivate", "--sync", window, "key", "Return"});
    m_dUncertainty = 0;
    // Keys follow the X input focus, which comes a little after the window manager calls the window
    // active: focus it, and wait for the focus itself before the moment counts.
    RunQuick({"xdotool", "windowactivate", "--sync", m_window});
    const unsigned long nWindow = std::strtoul(m_window.c_str(), nullptr, 0);
    for (const auto end = Clock::now() + std::chrono::seconds(10); Clock::now() < end;)
    {
        std::string focus;
        RunQuick({"xdotool", "getwindowfocus"}, &focus);
        if (std::strtoul(focus.c_str(), nullptr, 0) == nWindow)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "the window does not take the keyboard focus: " + Log();
    return false;
}

std::optional<Clock::time_point> CWindowRecorder::Press(const char* pszKeys, std::string& error)
{
    // The keys are sent by the time xdotool is done; its run is a few milliseconds on a quiet machine.
    const auto before = Clock::now();
    if (RunQuick({"xdotool", "key", "--delay", "0", pszKeys}) != 0)
    {
        error = std::string("xdotool could not type ") + pszKeys;
        return std::nullopt;
    }
    const auto after = Clock::now();
    m_dUncertainty = std::max(m_dUncertainty, Seconds(after - before));
    return after;
}

std::optional<Clock::time_point> CWindowRecorder::Begin(std::string& error)
{
    return Press("alt+r", error);
}

std::optional<Clock::time_point> CWindowRecorder::End(std::string& error)
{
    return Press("alt+s", error);
}

bool CWindowRecorder::Finish(std::string& error)
{
    // Done when no working name is left and the folder's files have kept their sizes for half a second
    // (a take too short to keep leaves no file at all).
    std::string last;
    int nSame = 0;
    for (const auto end = Clock::now() + std::chrono::seconds(20); Clock::now() < end;)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::string state;
        bool bWorking = false;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(m_output, ec))
        {
            const std::string name = entry.path().filename().string();
            bWorking = bWorking || name[0] == '.' || name.ends_with(".part");
            state += name + " " + std::to_string(entry.file_size(ec)) + "\n";
        }
        nSame = !bWorking && state == last ? nSame + 1 : 0;
        last = state;
        if (nSame >= 10)
            return true;
    }
    error = "the recording did not settle into a finished file: " + Log();
    return false;
}

int CWindowRecorder::Close()
{
    if (!m_window.empty())
        RunQuick({"wmctrl", "-i", "-c", m_window});
    const int nExit = m_program.Wait(20000);
    m_program.Kill();
    return nExit;
}

std::string CWindowRecorder::Log() const
{
    return ReadFileText(m_scratch + "/program.log");
}

// ---- a take ---------------------------------------------------------------------------------------

TakeResult RunTake(IRecorder& recorder, CClickPlayer& player, const TakePlan& plan, ITakeWatcher* pWatcher)
{
    TakeResult r;
    if (!recorder.Ready(r.error))
        return r;
    const std::vector<std::string> before = FinishedFiles(recorder.Folder());
    if (pWatcher && !pWatcher->Watch(recorder.Folder(), r.error))
        return r;
    const std::optional<Clock::time_point> start = recorder.Begin(r.error);
    if (!start)
        return r;
    std::optional<Clock::time_point> click;
    if (plan.clickAfter >= 0)
        click = player.PlayAt(*start + After(plan.clickAfter));
    std::this_thread::sleep_until(*start + After(plan.stopAfter));
    const std::optional<Clock::time_point> stop = recorder.End(r.error);
    std::string finishError;
    const bool bFinished = recorder.Finish(finishError);
    r.uncertainty = recorder.Uncertainty();
    if (!stop)
        return r;
    if (!bFinished)
    {
        r.error = finishError;
        return r;
    }
    if (plan.clickAfter >= 0 && !click)
    {
        r.error = "the click was not played: " + player.Error();
        return r;
    }

    std::vector<std::string> made;
    for (const std::string& name : FinishedFiles(recorder.Folder()))
        if (!std::binary_search(before.begin(), before.end(), name))
            made.push_back(name);
    if (made.size() != 1)
    {
        r.error = recorder.Name() + (made.empty() ? " kept no file" : " left " + std::to_string(made.size()) + " new files") +
                  " in " + recorder.Folder() + " after " + std::to_string(Seconds(*stop - *start)) + " s";
        return r;
    }
    r.path = recorder.Folder() + "/" + made[0];
    r.held = Seconds(*stop - *start);
    r.slip = Seconds(*stop - (*start + After(plan.stopAfter)));
    const DecodedAudio audio = DecodeFile(r.path);
    if (!audio.ok)
    {
        r.error = r.path + " does not decode: " + audio.error;
        return r;
    }
    r.codec = audio.codec;
    r.length = audio.duration;
    r.codecLead = CodecLeadSeconds(r.path, audio.sampleRate);
    if (pWatcher)
        pWatcher->Judge(r, *start);
    if (click)
    {
        r.clickExpected = Seconds(*click - *start);
        r.slip = std::max(r.slip, r.clickExpected - plan.clickAfter);
        const ClickOnset onset = FindClick(audio);
        if (onset.found)
            r.clickFound = onset.seconds;
    }
    r.ok = true;
    return r;
}

std::string Describe(const TakeResult& take)
{
    if (!take.ok)
        return "take failed: " + take.error;
    auto format = [](const char* pszFormat, auto... values) {
        char text[512];
        std::snprintf(text, sizeof(text), pszFormat, values...);
        return std::string(text);
    };
    std::string text = take.path + " (" + take.codec + "): " +
                       format("held %.3f s, decoded %.3f s (codec lead %.3f s)", take.held, take.length, take.codecLead);
    if (take.clickExpected >= 0)
        text += take.ClickFound() ? format("; click played at %.3f s, found at %.3f s", take.clickExpected, take.clickFound)
                                  : format("; click played at %.3f s, not in the file", take.clickExpected);
    return text + format("; acted up to %.3f s late, moments known to %.3f s", take.slip, take.uncertainty);
}
}  // namespace clicktiming
