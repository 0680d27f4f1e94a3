// For tests of what the program plays: the private sound server's default
// output heard through its monitor, and a server that takes connections but
// never answers them.
#pragma once
#include "PulseDaemon.h"

#include <string>

// The daemon of this test program, started on first use; this process talks to it.
CPulseDaemon& SoundDaemon();
bool StartSoundDaemon();

// Waits until the default output plays the tone (its strongest frequency, clearly
// above silence), or falls silent (nFrequency 0); false when the time is up.
bool WaitForOutput(double dFrequency, int nTimeoutMs = 10000);

// A Unix socket where a sound server would be: it takes clients and never says a word.
class CSilentServer
{
public:
    CSilentServer();
    ~CSilentServer();
    // The value for PULSE_SERVER.
    std::string Address() const { return "unix:" + m_dir + "/native"; }
    bool WaitForClient(int nTimeoutMs = 10000);
    // True while the client still waits for an answer (has not hung up).
    bool ClientWaits();

private:
    std::string m_dir;
    int m_listen = -1, m_client = -1;
};
