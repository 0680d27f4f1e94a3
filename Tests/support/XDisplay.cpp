#include "XDisplay.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
pid_t Spawn(const std::vector<std::string>& args)
{
    pid_t pid = fork();
    if (pid == 0)
    {
        const int devnull = open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd)
            dup2(devnull, fd);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i)
    {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
}  // namespace

CXDisplay::CXDisplay(int nWidth, int nHeight)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::string screen = std::to_string(nWidth) + "x" + std::to_string(nHeight) + "x24";
    m_xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
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
    {
        Stop(m_xvfb);
        m_xvfb = -1;
        return;
    }
    m_nDisplay = std::atoi(text.c_str());
    m_name = ":" + std::to_string(m_nDisplay);
    setenv("DISPLAY", m_name.c_str(), 1);
    m_wm = Spawn({"openbox", "--sm-disable"});
    // The window manager is ready once it has claimed the screen.
    const std::string check = "xprop -display " + m_name + " -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window";
    for (int i = 0; i < 300 && std::system(check.c_str()) != 0; ++i)
        usleep(10000);
}

CXDisplay::~CXDisplay()
{
    Stop(m_wm);
    Stop(m_xvfb);
}

bool CXDisplay::Screenshot(const std::string& path) const
{
    return std::system(("import -display " + m_name + " -window root '" + path + "' 2>/dev/null").c_str()) == 0;
}
