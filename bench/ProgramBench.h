// What the whole-program benchmarks share: a fresh copy of the application
// directory the build lays out, VoraneRecorder started from it with a private
// environment, its main window found through Xlib, keys typed with xdotool and
// a proper close (the window manager's close request) between runs.
#pragma once
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace programbench
{
using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// A folder of our own in /tmp (Unix socket paths are short), removed with the object.
class CScratch
{
public:
    explicit CScratch(const char* pszPrefix)
    {
        std::string pattern = std::string("/tmp/") + pszPrefix + "-XXXXXX";
        m_path = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~CScratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The build's application directory copied to dest, without settings or recordings.
inline bool FreshAppDir(const std::string& dest, const std::string& source = VORANE_APP_DIR)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(dest).parent_path(), ec);
    std::filesystem::copy(source, dest, std::filesystem::copy_options::recursive, ec);
    if (ec)
        return false;
    std::filesystem::remove(dest + "/Config.xml", ec);
    std::filesystem::remove_all(dest + "/output", ec);
    return std::filesystem::exists(dest + "/VoraneRecorder");
}

// Variables for a start of its own below dir: private runtime folder (the single-instance
// socket lives there), home and configuration folders, and a sound-server address where
// nothing answers, so the virtual device records.
inline std::vector<std::pair<std::string, std::string>> PrivateEnv(const std::string& dir)
{
    std::filesystem::create_directories(dir + "/run");
    std::filesystem::create_directories(dir + "/home");
    chmod((dir + "/run").c_str(), 0700);
    return {{"XDG_RUNTIME_DIR", dir + "/run"},
            {"HOME", dir + "/home"},
            {"XDG_CONFIG_HOME", dir + "/home/.config"},
            {"PULSE_SERVER", "unix:" + dir + "/run/no-sound-server"},
            {"NO_AT_BRIDGE", "1"}};
}

// Starts the program with the given variables set; its output goes to logPath.
inline pid_t StartProgram(const std::string& appDir, const std::vector<std::pair<std::string, std::string>>& env,
                          const std::string& logPath)
{
    const std::string exe = appDir + "/VoraneRecorder";
    pid_t pid = fork();
    if (pid == 0)
    {
        int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The exit code once the process ended within the time-out; -1 when it still runs (then it is killed).
inline int WaitExit(pid_t pid, int nTimeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    int status = 0;
    while (Clock::now() < end)
    {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// The program's main window as the window manager lists it: class org.vorane.Recorder, of that process.
inline Window FindMainWindow(Display* pDisplay, pid_t pid, bool bViewableOnly)
{
    const Atom clientList = XInternAtom(pDisplay, "_NET_CLIENT_LIST", False);
    const Atom wmPid = XInternAtom(pDisplay, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long nItems = 0, nAfter = 0;
    unsigned char* pData = nullptr;
    Window found = 0;
    if (XGetWindowProperty(pDisplay, DefaultRootWindow(pDisplay), clientList, 0, 1024, False, XA_WINDOW, &type,
                           &format, &nItems, &nAfter, &pData) != Success || !pData)
        return 0;
    const Window* pWindows = reinterpret_cast<const Window*>(pData);
    for (unsigned long i = 0; i < nItems && !found; ++i)
    {
        XClassHint hint{};
        if (!XGetClassHint(pDisplay, pWindows[i], &hint))
            continue;
        const bool bClass = hint.res_class && std::strcmp(hint.res_class, "org.vorane.Recorder") == 0;
        XFree(hint.res_name);
        XFree(hint.res_class);
        if (!bClass)
            continue;
        unsigned char* pPid = nullptr;
        if (XGetWindowProperty(pDisplay, pWindows[i], wmPid, 0, 1, False, XA_CARDINAL, &type, &format, &nItems,
                               &nAfter, &pPid) == Success && pPid)
        {
            const bool bOurs = static_cast<pid_t>(*reinterpret_cast<const unsigned long*>(pPid)) == pid;
            XFree(pPid);
            if (!bOurs)
                continue;
        }
        XWindowAttributes attributes{};
        if (!bViewableOnly || (XGetWindowAttributes(pDisplay, pWindows[i], &attributes) &&
                               attributes.map_state == IsViewable))
            found = pWindows[i];
    }
    XFree(pData);
    return found;
}

// Polls every 2 ms until the main window is on the screen; 0 when the process ends or the time is up.
inline Window WaitForMainWindow(Display* pDisplay, pid_t pid, int nTimeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (Clock::now() < end)
    {
        if (Window w = FindMainWindow(pDisplay, pid, true))
            return w;
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

inline std::string WindowId(Window w)
{
    return std::to_string(static_cast<unsigned long>(w));
}

// Keys go through the X test extension to the focused window, as typed ones do.
inline void PressKey(Window w, const char* pszKeys)
{
    const std::string id = WindowId(w);
    (void)!std::system(("xdotool windowactivate --sync " + id + " >/dev/null 2>&1").c_str());
    (void)!std::system((std::string("xdotool key ") + pszKeys + " >/dev/null 2>&1").c_str());
}

// Asks the window to close as its close box does, and returns the exit code (-1: did not end).
inline int CloseProgram(Window w, pid_t pid)
{
    (void)!std::system(("wmctrl -i -c " + WindowId(w) + " >/dev/null 2>&1").c_str());
    return WaitExit(pid, 20000);
}

// The first GTK program on a fresh X server probes OpenGL (under Xvfb: Mesa's llvmpipe, some
// 50 MB more resident) and leaves the answer in the root window's GDK_VISUALS property for
// every later one. A desktop has run GTK programs before ours, so the benchmarks start the
// program once, uncounted, to leave the display in that state. Returns that start's time in
// ms, or -1.
inline double WarmUpDisplay(Display* pDisplay, const std::string& dir)
{
    if (!FreshAppDir(dir + "/app"))
        return -1;
    const auto start = Clock::now();
    const pid_t pid = StartProgram(dir + "/app", PrivateEnv(dir), dir + "/program.log");
    const Window window = WaitForMainWindow(pDisplay, pid, 20000);
    const double ms = Ms(Clock::now() - start);
    if (!window)
    {
        WaitExit(pid, 0);
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return CloseProgram(window, pid) == 0 ? ms : -1;
}

inline long long FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
}  // namespace programbench
