#include "XDisplay.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

CChildProcess::CChildProcess(std::vector<std::string> args, std::vector<std::string> env, const std::string& logPath)
    : m_logPath(logPath)
{
    if ((m_pid = fork()) != 0)
        return;
    const int fd = logPath.empty() ? open("/dev/null", O_WRONLY) : open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    for (std::string& setting : env)
        setting.find('=') == std::string::npos ? unsetenv(setting.c_str()) : putenv(setting.data());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

bool CChildProcess::Running()
{
    int status = 0;
    if (m_pid > 0 && m_nExitCode < 0 && waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_pid > 0 && m_nExitCode < 0;
}

int CChildProcess::WaitExit(int nTimeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (Running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return m_nExitCode;
}

void CChildProcess::Stop()
{
    if (Running())
        kill(m_pid, SIGTERM);
    if (WaitExit(2000) < 0 && Running())
        kill(m_pid, SIGKILL);
    WaitExit(10000);
}

std::string CChildProcess::Log() const
{
    std::ostringstream text;
    text << std::ifstream(m_logPath).rdbuf();
    return text.str();
}

CXDisplay::CXDisplay(int nWidth, int nHeight)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::string screen = std::to_string(nWidth) + "x" + std::to_string(nHeight) + "x24";
    m_pXvfb = new CChildProcess({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
    close(fds[1]);
    // Xvfb writes the display number it chose once it accepts connections.
    std::string text;
    pollfd p{fds[0], POLLIN, 0};
    char buffer[32];
    while (text.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0)
    {
        const ssize_t n = read(fds[0], buffer, sizeof(buffer));
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (text.empty())
        return;
    m_nDisplay = std::atoi(text.c_str());
    m_name = ":" + std::to_string(m_nDisplay);
    setenv("DISPLAY", m_name.c_str(), 1);
    m_pWm = new CChildProcess({"openbox", "--sm-disable"});
    // The window manager is ready once it has claimed the screen.
    const std::string check = "xprop -display " + m_name + " -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window";
    for (int i = 0; i < 300 && std::system(check.c_str()) != 0; ++i)
        usleep(10000);
}

CXDisplay::~CXDisplay()
{
    delete m_pWm;
    delete m_pXvfb;
}

bool CXDisplay::Screenshot(const std::string& path) const
{
    return std::system(("import -display " + m_name + " -window root '" + path + "' 2>/dev/null").c_str()) == 0;
}
