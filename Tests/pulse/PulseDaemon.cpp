#include "PulseDaemon.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

CPulseDaemon::CPulseDaemon(std::vector<std::string> extraModules) : m_modules(std::move(extraModules))
{
    // Unix socket paths are short (108 bytes), so the folder lives in /tmp.
    char dir[] = "/tmp/vorane-pulse-XXXXXX";
    if (mkdtemp(dir))
        m_dir = dir;
}

CPulseDaemon::~CPulseDaemon()
{
    Stop();
    std::error_code ec;
    if (!m_dir.empty())
        std::filesystem::remove_all(m_dir, ec);
}

bool CPulseDaemon::Start()
{
    if (m_pid > 0 || m_dir.empty())
        return m_pid > 0;
    std::vector<std::string> args = {
        "pulseaudio", "--daemonize=no", "--system=false", "-n", "--exit-idle-time=-1", "--disallow-exit",
        "--use-pid-file=no", "--log-target=stderr", "--log-level=info",
        "-L", std::string("module-null-sink sink_name=") + kOutput + " sink_properties='device.description=\"" +
                  kOutputDescription + "\"'"};
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
        setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
        setenv("PULSE_RUNTIME_PATH", m_dir.c_str(), 1);
        setenv("HOME", m_dir.c_str(), 1);
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
    if (m_pid <= 0)
        return;
    kill(m_pid, nSignal);
    bool bGone = false;
    for (int i = 0; i < 1000 && !(bGone = waitpid(m_pid, nullptr, WNOHANG) != 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!bGone)
    {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

void CPulseDaemon::UseInThisProcess() const
{
    setenv("PULSE_SERVER", Server().c_str(), 1);
}

std::string CPulseDaemon::Log() const
{
    std::ifstream file(m_dir + "/daemon.log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
