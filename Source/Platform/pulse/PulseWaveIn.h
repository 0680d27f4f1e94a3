// The sound server as a wave-input device of the winmm stand-in: a record
// stream from the chosen source feeds the open handle, and the device's mixer
// shows the server's sources as lines.
//
// Threads: the waveIn* and mixer* calls arrive on the program's threads (main
// thread; the capture thread only queues buffers, which never reaches here).
// libpulse's event thread delivers audio to the handle and notices a lost
// stream; it never waits for another thread of the program. A lost recording is
// told once, through ShowAppError on that event thread (a message handler returns
// at once on a worker thread).
#pragma once
#include "MixerModel.h"
#include "PulseBoth.h"
#include "PulseServer.h"
#include "WaveBackend.h"

#include <mutex>

namespace winmm::pulse
{
// Shown once when a recording loses its stream.
extern const char* const MSG_SERVER_LOST;
extern const char* const MSG_SOURCE_LOST;

class CPulseWaveIn : public IWaveInDevice, public std::enable_shared_from_this<CPulseWaveIn>
{
public:
    explicit CPulseWaveIn(std::shared_ptr<CPulseServer> pServer);
    ~CPulseWaveIn() override;

    MMRESULT GetCaps(WAVEINCAPSA& caps) override;
    MMRESULT OpenStream(CWaveInPort* pPort, const WAVEFORMATEX& format) override;
    void StartStream() override;
    void StopStream() override;
    void CloseStream() override;
    MMRESULT OpenMixer(std::unique_ptr<IMixerPort>& pMixer) override;

    CPulseServer& Server() { return *m_pServer; }

    // The source the next recording connects to (the mixer's source-select control);
    // empty means the server's default source.
    std::string SelectedSource();
    void SelectSource(const std::string& name);
    // The "Stereo Mix + Microphone" line's mute, volume and layout, taken by the next recording.
    BothControls GetBothControls();
    void SetBothControls(const BothControls& controls);

private:
    static void OnStreamState(pa_stream* pStream, void* pUser);
    static void OnRead(pa_stream* pStream, size_t nBytes, void* pUser);
    void PumpLocked();
    void DropReceivedLocked();
    void DropPeekedLocked();
    // Both take audio as the server records it (kCaptureFrameBytes a frame).
    void DeliverLocked(const uint8_t* pData, size_t nBytes);
    void DeliverSilenceLocked(size_t nBytes);
    void DeliverFramesLocked(const uint8_t* pData, size_t nFrames);
    void DropStreamLocked();

    std::shared_ptr<CPulseServer> m_pServer;

    std::mutex m_selectMutex;
    std::string m_selected;
    BothControls m_bothControls;

    // Guarded by the main-loop lock: the open recording of "Stereo Mix + Microphone", if that is the one.
    std::unique_ptr<CPulseBothCapture> m_pBoth;

    // Guarded by the main-loop lock.
    pa_stream* m_pStream = nullptr;
    CWaveInPort* m_pPort = nullptr;
    WAVEFORMATEX m_format{};
    bool m_bReady = false;     // the stream reached the server
    bool m_bRunning = false;   // delivering to the handle
    bool m_bLostTold = false;  // the user has heard that this recording lost its stream
    size_t m_nPeekOffset = 0;  // bytes of the peeked fragment already handed on
    uint64_t m_nBytesRead = 0;  // audio handed on, in the server's bytes
    std::vector<uint8_t> m_partialFrame;  // a frame of the server's split across fragments
    std::vector<uint8_t> m_converted;     // the handle's format, reused from fragment to fragment
};

// Every recording is captured from the server as 16-bit stereo at the requested
// rate; mono and 8 bits are made here. Servers disagree on mixing stereo down to
// mono (PipeWire's pulse server is 3 dB hotter than PulseAudio, so a loud source
// clips), and on rounding to 8 bits; made here, a recording is the same on any server.
constexpr size_t kCaptureFrameBytes = 4;

// Converts nFrames of 16-bit little-endian stereo into nChannels (1 or 2) of nBits
// (8 or 16): mono is the mean of the two channels, 8 bits the 16-bit value rounded
// (unsigned, as WAV keeps it). pOut takes nFrames * nChannels * nBits / 8 bytes.
void ConvertCapturedFrames(const uint8_t* pIn, size_t nFrames, int nChannels, int nBits, uint8_t* pOut);

// The device's mixer: one recording destination with a source-select control
// (MUX, one source at a time), and one line per source with the source's own
// mute and volume. Volume values 0 to 65535 are the source's gain as a linear
// factor (32767 is half the amplitude, about -6 dB; 65535 is the source at 100%).
class CPulseMixer : public CMixerModel
{
public:
    CPulseMixer(std::shared_ptr<CPulseWaveIn> pDevice, std::vector<LineEntry> lines, std::string defaultSource);

protected:
    std::vector<DWORD> ReadValues(const MixerControlDesc& control, DWORD nLine) override;
    MMRESULT WriteValues(const MixerControlDesc& control, DWORD nLine, const std::vector<DWORD>& values) override;

private:
    std::shared_ptr<CPulseWaveIn> m_pDevice;  // kept alive while the mixer is open
    std::vector<LineEntry> m_lines;
    std::string m_defaultSource;
};

// Volume control value (0..65535) to the server's volume and back.
pa_volume_t VolumeFromControl(DWORD nValue);
DWORD ControlFromVolume(pa_volume_t volume);
}  // namespace winmm::pulse
