#include "PulseDaemon.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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
    if (!m_dir.empty())
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
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
    {
        args.push_back("-L");
        args.push_back(m);
    }
    args.push_back("-L");
    args.push_back("module-native-protocol-unix auth-anonymous=1 socket=" + m_dir + "/native");

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bReady = false;
        m_bLogEnded = false;
    }
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0)
    {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0)
    {
        // The daemon dies with the test, even when the test crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(fds[1], STDERR_FILENO);
        dup2(fds[1], STDOUT_FILENO);
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
    close(fds[1]);
    m_pid = pid;
    if (m_drain.joinable())
        m_drain.join();
    m_drain = std::thread(&CPulseDaemon::Drain, this, fds[0]);

    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_bReady || m_bLogEnded; });
    const bool bReady = m_bReady;
    lock.unlock();
    if (!bReady)
    {
        Kill();
        return false;
    }
    return true;
}

void CPulseDaemon::Drain(int fd)
{
    std::array<char, 4096> buffer;
    for (;;)
    {
        ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.append(buffer.data(), static_cast<size_t>(n));
        if (!m_bReady && m_log.find("Daemon startup complete.") != std::string::npos)
        {
            m_bReady = true;
            m_changed.notify_all();
        }
    }
    close(fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bLogEnded = true;
    m_changed.notify_all();
}

void CPulseDaemon::Reap(int nTimeoutMs)
{
    int fd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    if (fd >= 0)
    {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, nTimeoutMs) == 0)
            kill(m_pid, SIGKILL);
        close(fd);
    }
    int status;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    m_pid = -1;
    if (m_drain.joinable())
        m_drain.join();
}

void CPulseDaemon::Stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    Reap(10000);
}

void CPulseDaemon::Kill()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    Reap(10000);
}

void CPulseDaemon::UseInThisProcess() const
{
    setenv("PULSE_SERVER", Server().c_str(), 1);
}

int CPulseDaemon::Pactl(const std::string& arguments, std::string* pOutput) const
{
    std::string command = "PULSE_SERVER='" + Server() + "' pactl " + arguments + " 2>&1";
    FILE* pPipe = popen(command.c_str(), "r");
    if (!pPipe)
        return -1;
    std::string output;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pPipe)) > 0)
        output.append(buffer, n);
    int status = pclose(pPipe);
    if (pOutput)
        *pOutput = output;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string CPulseDaemon::Log()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}
