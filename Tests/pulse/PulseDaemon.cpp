#include "PulseDaemon.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

CPulseDaemon::CPulseDaemon(std::vector<std::string> extraModules) : m_modules(std::move(extraModules))
{
    // Unix socket paths are short (108 bytes), so the folder lives in /tmp.
    char dir[] = "/tmp/vorane-pulse-XXXXXX";
    m_dir = mkdtemp(dir) ? dir : "";
}

CPulseDaemon::~CPulseDaemon()
{
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

bool CPulseDaemon::Start()
{
    if (m_pid > 0 || m_dir.empty())
        return m_pid > 0;
    std::vector<std::string> args = {
        "pulseaudio", "--daemonize=no", "--system=false", "-n", "--exit-idle-time=-1", "--disallow-exit",
        "--use-pid-file=no", "--log-target=stderr", "--log-level=info",
        "-L", std::string("module-null-sink sink_name=") + kOutput + " sink_properties='device.description=\"Test Speakers\"'"};
    for (const std::string& m : m_modules)
        args.insert(args.end(), {"-L", m});
    args.insert(args.end(), {"-L", "module-native-protocol-unix auth-anonymous=1 socket=" + m_dir + "/native"});

    const std::string log = m_dir + "/daemon.log";
    std::filesystem::remove(log);  // before the fork: an old log must not read as ready
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0)
    {
        // The daemon dies with the test, even when the test crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDERR_FILENO);
        dup2(fd, STDOUT_FILENO);
        for (const char* name : {"XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "HOME"})
            setenv(name, m_dir.c_str(), 1);
        unsetenv("PULSE_SERVER");  // a configured server makes the daemon refuse to start
        unsetenv("DISPLAY");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("pulseaudio", argv.data());
        _exit(127);
    }
    for (int i = 0; m_pid > 0 && i < 2000; ++i)
    {
        if (Log().find("Daemon startup complete.") != std::string::npos)
            return true;
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            m_pid = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return false;
}

void CPulseDaemon::End(int nSignal)
{
    if (m_pid > 0)
    {
        kill(m_pid, nSignal);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

std::string CPulseDaemon::Log() const
{
    std::ifstream file(m_dir + "/daemon.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
}
