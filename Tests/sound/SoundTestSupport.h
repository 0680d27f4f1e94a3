// For tests of what the program plays: the private sound server's default
// output heard through its monitor, and a server that takes connections but
// never answers them.
#pragma once
#include "PulseDaemon.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The private daemon of this test program, started on first use; this process talks to it.
CPulseDaemon& SoundDaemon();
bool StartSoundDaemon();

// Records the default output's monitor (22050 Hz mono) on a thread of its own
// and looks at the last fifth of a second.
class CMonitorListener
{
public:
    ~CMonitorListener() { Stop(); }
    bool Start();
    void Stop();
    // Waits until the output carries the tone (its strongest frequency, clearly above silence).
    bool WaitForTone(double dFrequency, int nTimeoutMs = 10000);
    bool WaitForSilence(int nTimeoutMs = 10000);
    // The strongest frequency heard now and its level, for messages.
    std::string Describe();

private:
    std::vector<float> Recent();

    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::deque<float> m_samples;
};

// A Unix socket where a sound server would be, which accepts clients and never says a word.
class CSilentServer
{
public:
    CSilentServer();
    ~CSilentServer();
    // The value for PULSE_SERVER.
    std::string Address() const { return "unix:" + m_path; }
    // Waits until a client has connected.
    bool WaitForClient(int nTimeoutMs = 10000);
    // True while the client that connected still waits for an answer (has not hung up).
    bool ClientWaits();

private:
    std::string m_dir, m_path;
    int m_listen = -1;
    int m_client = -1;
};

// A RIFF WAVE image of a sine tone: 22050 Hz, mono, 16 bits.
std::vector<uint8_t> ToneWave(double dFrequency, double dSeconds);
