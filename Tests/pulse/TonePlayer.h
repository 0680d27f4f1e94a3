// Another application playing into the sound server: a steady sine tone into
// one output, after a short lead-in of silence (a fresh playback can lose its
// first tens of milliseconds). Talks to the server PULSE_SERVER names.
//
// Threads: Play and Stop from the test's thread; a thread of its own writes the
// samples as fast as the server takes them.
#pragma once
#include <atomic>
#include <string>
#include <thread>

class CTonePlayer
{
public:
    CTonePlayer() = default;
    ~CTonePlayer() { Stop(); }
    CTonePlayer(const CTonePlayer&) = delete;
    CTonePlayer& operator=(const CTonePlayer&) = delete;

    // Plays until Stop: 44100 Hz stereo at half of full scale. Returns once the
    // server has taken the first samples.
    bool Play(const std::string& sink, double dFrequency);
    void Stop();

private:
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
};
