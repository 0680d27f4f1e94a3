// The "Stereo Mix + Microphone" line on the sound server: two record streams, the
// default output's monitor and the default input, lined up by the latencies the
// server reports and mixed (BothSources.h) into the one open handle.
//
// Threads: every function runs with the main-loop lock held (the ...Locked rule of
// PulseServer.h); libpulse's event thread delivers, the program's threads open,
// start, stop and close. Nothing here waits for the program's threads.
#pragma once
#include "BothSources.h"
#include "PulseServer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace winmm
{
class CWaveInPort;
}

namespace winmm::pulse
{
// The line's own controls, kept by the device: the server's sources keep their levels.
struct BothControls
{
    bool muted = false;
    DWORD volume = 65535;  // 0..65535, a linear gain on the mix
    bool sideBySide = false;
};

// Shown when one of the two sources goes away and the other records on ("%s": the lost one).
extern const char* const MSG_BOTH_PART_LOST;

class CPulseBothCapture
{
public:
    explicit CPulseBothCapture(CPulseServer& server);
    ~CPulseBothCapture();
    CPulseBothCapture(const CPulseBothCapture&) = delete;
    CPulseBothCapture& operator=(const CPulseBothCapture&) = delete;

    MMRESULT OpenLocked(CWaveInPort* pPort, const WAVEFORMATEX& format, const BothControls& controls);
    void StartLocked();
    void StopLocked();
    void CloseLocked();

private:
    struct Part
    {
        CPulseBothCapture* pOwner = nullptr;
        pa_stream* pStream = nullptr;
        std::string what;        // how the user knows it: the computer's sound or the microphone
        std::vector<int16_t> pending;  // stereo frames received and not yet mixed
        size_t nHead = 0;        // samples of pending already mixed
        std::vector<uint8_t> partial;  // a frame split across fragments
        uint64_t nSkip = 0;      // frames still to drop to line up with the other part
        bool bTimed = false;     // a latency update arrived since the start
        bool bLost = false;
        size_t Frames() const { return (pending.size() - nHead) / 2; }
    };

    static void OnState(pa_stream* pStream, void* pUser);
    static void OnRead(pa_stream* pStream, size_t nBytes, void* pUser);
    static void OnLatency(pa_stream* pStream, void* pUser);
    MMRESULT ConnectLocked(Part& part, const std::string& source, const pa_sample_spec& spec);
    void ReadLocked(Part& part);
    void Append(Part& part, const uint8_t* pData, size_t nBytes);
    bool AlignLocked();
    void MixLocked();
    void DropPartLocked(Part& part);

    CPulseServer& m_server;
    Part m_parts[2];  // the computer, the microphone
    CWaveInPort* m_pPort = nullptr;
    WAVEFORMATEX m_format{};
    BothControls m_controls;
    CBothMixer m_mixer{44100};
    bool m_bRunning = false;
    bool m_bAligned = false;
    bool m_bLostTold = false;
    uint64_t m_nFramesMixed = 0;
    std::vector<int16_t> m_mixed;
    std::vector<uint8_t> m_converted;
};
}  // namespace winmm::pulse
