// The virtual capture device: the backend every machine has, listed after the
// real devices, so a machine without sound hardware records from it as device 0.
//
// Each mixer source line carries its own recognisable signal (a tone or a
// chord); its mute and volume controls and the recording source selection
// really change what is captured. Time runs in real time in the program and on
// a manual clock in tests ("2.5 seconds pass"), which makes capture tests exact.
// Tests script the device list, the lines and their controls, and a failure
// for any call.
//
// Threads: the scripting functions belong to the test's main thread; the
// real-time clock delivers from a thread of its own per open stream.
#pragma once
#include "BothSources.h"
#include "WaveBackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace winmm::virt
{
struct LineSpec
{
    std::string name;
    DWORD componentType = MIXERLINE_COMPONENTTYPE_SRC_LINE;
    std::vector<double> frequencies;  // the line's signal: one tone, or a chord of several
    double amplitude = 0.5;           // peak, as a share of full scale, at full volume
    // A quieter tone on the right channel alone (0: none), so that channels swapped on the way show.
    double rightFrequency = 0;
    double rightAmplitude = 0.15;
    DWORD channels = 2;
    bool hasMute = true;
    bool hasVolume = true;
    bool uniform = true;  // mute and volume act on all channels at once
    bool muted = false;
    DWORD minimum = 0;
    DWORD maximum = 65535;
    DWORD volume = 65535;  // initial value of every channel
    bool failInfo = false;  // asking for this source's description fails
    // A "Stereo Mix + Microphone" line: the tone above is the computer's, this one (on both
    // channels) the microphone's; the line gets the "Side by Side" switch (0: an ordinary line).
    double microphoneFrequency = 0;
    double microphoneAmplitude = 0.3;
};

struct DeviceSpec
{
    std::string name = "Vorane Virtual Input";
    bool capsReadable = true;
    std::vector<LineSpec> lines;
    // The recording destination's source list control: MUX or SINGLESELECT picks one
    // line, MIXER or MULTIPLESELECT mixes every selected line; 0 means none.
    DWORD sourceControlType = MIXERCONTROL_CONTROLTYPE_MUX;
    bool sourceControlUniform = true;
    DWORD destinationChannels = 2;
    std::vector<bool> selected;  // lines feeding the recording; empty selects the first
    bool mixerOpens = true;
};

// The lines of the default device: "Microphone", "Line In", "Stereo Mix", "Stereo Mix + Microphone"
// and a synthesizer. The stereo lines add a 2500 Hz tone at 0.15 on the right; the left carries the
// line's tone alone. "Stereo Mix + Microphone" plays 800 Hz at 0.5 as the computer and 300 Hz at 0.3
// as the microphone.
std::vector<LineSpec> DefaultLines();
DeviceSpec DefaultDevice();

class CVirtualWaveIn : public IWaveInDevice, public std::enable_shared_from_this<CVirtualWaveIn>
{
public:
    explicit CVirtualWaveIn(DeviceSpec spec);
    ~CVirtualWaveIn() override;

    MMRESULT GetCaps(WAVEINCAPSA& caps) override;
    MMRESULT Check(WaveCall call) override;
    MMRESULT OpenStream(CWaveInPort* pPort, const WAVEFORMATEX& format) override;
    void StartStream() override;
    void StopStream() override;
    void CloseStream() override;
    MMRESULT OpenMixer(std::unique_ptr<IMixerPort>& pMixer) override;

    // Fails the call with code after nSkip successful calls, nTimes times (-1: for ever).
    void FailCall(WaveCall call, MMRESULT code, int nSkip = 0, int nTimes = -1);
    void ClearFailures();
    int CallCount(WaveCall call);

    // Line state, as the mixer controls leave it.
    struct LineState
    {
        LineSpec spec;
        std::vector<DWORD> volume;  // per channel
        std::vector<bool> muted;    // per channel
        bool selected = false;
        bool sideBySide = false;    // a "Stereo Mix + Microphone" line's layout
    };
    std::vector<LineState> Lines();
    void SetLineState(size_t nLine, const LineState& state);
    const DeviceSpec& Spec() const { return m_spec; }
    std::mutex& StateMutex() { return m_stateMutex; }
    std::vector<LineState>& LinesLocked() { return m_lines; }

    // Clock side.
    bool IsStreaming();
    // Lets time pass; bWaitForBuffers false lets it pass at once, as a real clock does, with no buffer queued.
    void AdvanceManual(uint64_t nNanoseconds, bool bWaitForBuffers = true);
    // Waits until the open stream has a buffer queued (false on time-out or without a stream).
    bool WaitForQueuedBuffer(int nMilliseconds);
    size_t QueuedBuffers();

private:
    void Pump(uint64_t nTargetFrames, bool bWaitForBuffers);
    void Generate(uint8_t* pOut, uint64_t nFirstFrame, size_t nFrames);
    void RealTimeLoop();

    const DeviceSpec m_spec;

    std::mutex m_stateMutex;  // line state
    std::vector<LineState> m_lines;

    std::mutex m_failMutex;
    struct Failure
    {
        MMRESULT code = 0;
        int skip = 0;
        int times = 0;
    };
    Failure m_failures[static_cast<int>(WaveCall::Count)];
    int m_calls[static_cast<int>(WaveCall::Count)] = {};

    std::mutex m_streamMutex;    // the fields below
    std::mutex m_deliverMutex;   // held while delivering, so StopStream can wait it out
    std::condition_variable m_streamChanged;
    CWaveInPort* m_pPort = nullptr;
    WAVEFORMATEX m_format{};
    bool m_bRunning = false;
    uint64_t m_nElapsedNs = 0;
    uint64_t m_nFramesDone = 0;
    // The signal runs on from the stream's open: a stop halts delivery, not the clock, so a start
    // after a stop goes on at the frame the time reached, as a real source does.
    uint64_t m_nSignalBase = 0;  // the signal's frame at this run's first frame
    bool m_bHalted = false;      // stopped after running, since the open
    uint64_t m_nHaltedNs = 0;    // manual clock: time passed while halted
    std::chrono::steady_clock::time_point m_haltedAt;  // real clock: when it halted
    std::thread m_clockThread;
    std::chrono::steady_clock::time_point m_realStart;  // when the real-time clock's stream started
    std::vector<uint8_t> m_scratch;
    CBothMixer m_both{44100};  // made afresh for each stream's rate
};

std::shared_ptr<IWaveBackend> Backend();

// Scripting for tests. Replaces the virtual device list (an empty list: no virtual device).
void SetDevices(const std::vector<DeviceSpec>& specs);
// Back to the one default device, real-time clock, no failures.
void Restore();
std::vector<std::shared_ptr<CVirtualWaveIn>> Devices();
std::shared_ptr<CVirtualWaveIn> Device(size_t nIndex = 0);

// The clock: real time (default) or manual, advanced by the test.
void UseManualClock(bool bManual);
bool IsManualClock();
// Lets time pass on every open stream. A stream that fills its buffer waits for the
// program to queue the next one (up to two seconds) before the rest of the time passes.
void AdvanceClock(double dSeconds);
}  // namespace winmm::virt
