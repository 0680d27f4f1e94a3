// Another application playing into the sound server: a steady sine tone into
// one output, after a short lead-in of silence (a fresh playback can lose its
// first tens of milliseconds). Talks to the server PULSE_SERVER names.
//
// Threads: Play and Stop from the test's thread; libpulse's event thread
// generates the samples.
#pragma once
#include <cstdint>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

class CTonePlayer
{
public:
    CTonePlayer() = default;
    ~CTonePlayer();
    CTonePlayer(const CTonePlayer&) = delete;
    CTonePlayer& operator=(const CTonePlayer&) = delete;

    // Plays until Stop: 44100 Hz stereo, peak amplitude as a share of full scale.
    // Returns once the server has taken the first samples.
    bool Play(const std::string& sink, double dFrequency, double dAmplitude = 0.5);
    void Stop();

private:
    static void OnWrite(pa_stream* pStream, size_t nBytes, void* pUser);
    static void OnState(void* pUser);

    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    pa_stream* m_pStream = nullptr;
    double m_dFrequency = 0;
    double m_dAmplitude = 0;
    uint64_t m_nFrame = 0;  // frames written so far, lead-in included
    bool m_bWritten = false;
};
