// A private X display for window tests: Xvfb on a free display number with the
// openbox window manager (without one, focus follows the pointer and minimizing
// does nothing). Sets DISPLAY for this process; both servers end with the object.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

// One run of a program (found on PATH), with changes to the environment ("NAME=value" sets, "NAME" unsets) and its
// output appended to a log (none: /dev/null); ended with SIGTERM, then SIGKILL, if still running at the end.
class CChildProcess
{
public:
    CChildProcess(std::vector<std::string> args, std::vector<std::string> env = {}, const std::string& logPath = "");
    ~CChildProcess() { Stop(); }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    pid_t Pid() const { return m_pid; }
    bool Running();
    // The exit code (128 + the signal for a killed one) once it has ended within the time-out; -1 while it still runs.
    int WaitExit(int nTimeoutMs);
    void Stop();
    std::string Log() const;

private:
    std::string m_logPath;
    pid_t m_pid = -1;
    int m_nExitCode = -1;
};

class CXDisplay
{
public:
    CXDisplay(int nWidth = 1024, int nHeight = 768);
    ~CXDisplay();
    CXDisplay(const CXDisplay&) = delete;
    CXDisplay& operator=(const CXDisplay&) = delete;

    bool Ok() const { return m_nDisplay >= 0; }
    const std::string& Name() const { return m_name; }  // ":N"
    // Saves a screenshot of the whole screen as PNG (ImageMagick's import).
    bool Screenshot(const std::string& path) const;

private:
    int m_nDisplay = -1;
    std::string m_name;
    CChildProcess* m_pXvfb = nullptr;
    CChildProcess* m_pWm = nullptr;
};
