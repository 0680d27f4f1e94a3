// A private PulseAudio daemon for the sound-server tests and benchmarks: null
// outputs only, its own runtime folder and socket, readiness read from its own
// log, stopped (or killed) by its process id.
#pragma once
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/types.h>
#include <vector>

class CPulseDaemon
{
public:
    // The first output is the server's default: "vorane_out", described as "Test Speakers".
    static constexpr const char* kOutput = "vorane_out";

    // extraModules: more "-L" module lines, loaded after the default output.
    explicit CPulseDaemon(std::vector<std::string> extraModules = {});
    ~CPulseDaemon();

    // Starts the daemon, waiting up to 20 s; after Stop or Kill, again on the same socket.
    bool Start();
    void Stop() { End(SIGTERM); }
    void Kill() { End(SIGKILL); }  // at once, as a crash would
    bool IsRunning() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // "unix:<runtime folder>/native", the value for PULSE_SERVER.
    std::string Server() const { return "unix:" + m_dir + "/native"; }
    const std::string& Dir() const { return m_dir; }
    // Points this process's libpulse clients (and the programs it starts) at the daemon.
    void UseInThisProcess() const { setenv("PULSE_SERVER", Server().c_str(), 1); }
    std::string Log() const;

private:
    void End(int nSignal);

    std::vector<std::string> m_modules;
    std::string m_dir;
    pid_t m_pid = -1;
};
