// Shared by the sound-server tests: the test program's private daemon (a
// default output, a second output and a 440 Hz input), the sound server
// registered as a capture device, and recordings made through the capture
// engine exactly as the program makes them.
#pragma once
#include "DeviceThread.h"
#include "PulseDaemon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

// The second output and the input the daemon carries besides the default output.
constexpr const char* kSecondOutput = "vorane_second";
constexpr double kSineFrequency = 440;

// The daemon of this test program, started by CPulseTest.
CPulseDaemon& TheDaemon();
// Runs pactl against the daemon; returns its exit status, with its output if asked.
int Pactl(const std::string& arguments, std::string* pOutput = nullptr);

// Another application playing into the sound server: from Play (which returns once
// the server has taken a 200 ms lead-in of silence; a fresh playback can lose its
// first tens of milliseconds) until Stop, a sine (by default at half of full scale
// in both channels), 44100 Hz stereo, written by a thread of its own. Talks to the
// server PULSE_SERVER names.
class CTonePlayer
{
public:
    ~CTonePlayer() { Stop(); }
    // dLeft, dRight: each channel's peak as a fraction of full scale.
    bool Play(const std::string& sink, double dFrequency, double dLeft = 0.5, double dRight = 0.5);
    void Stop();

private:
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
};

// Every sound-server test: the daemon runs, this process talks to it, the sound
// server is registered, the settings are the program's defaults and the device
// list is fresh.
class CPulseTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    CTempFolder m_folder{"pulse"};
    CTonePlayer m_tone;
};

// With the line prepared (PrepareRecordingLine): records into the receiver until
// nSeconds buffers were handed on, runs meanwhile (if given), stops, and waits for
// the capture thread to finish the receiver. Returns the buffers handed on.
int CaptureInto(IReceiver& receiver, int nSeconds, const std::function<void()>& meanwhile = nullptr);

// Prepares the line from the settings as the program does (unmute, volume, select)
// and records a WAV file; the file decoded by an independent decoder.
DecodedAudio RecordWav(const std::string& path, int nSeconds, int nChannels = 2, int nRate = 44100, int nBits = 16,
                       DWORD nVolume = 100);
// Records a WAV file of the current device's format without preparing the line, as
// CaptureInto does; returns the buffers handed on.
int CaptureWav(const std::string& path, int nSeconds, const std::function<void()>& meanwhile = nullptr);

// Level in dB (full scale 0 dB) of the decoded samples, leaving out the first half second.
double LevelDb(const DecodedAudio& audio);
