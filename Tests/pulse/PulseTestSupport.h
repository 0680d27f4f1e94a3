// Shared by the sound-server tests: the private daemon (a default output, a second
// output and a 440 Hz input), the sound server as capture device, and recordings
// made through the capture engine as the program makes them.
#pragma once
#include "DeviceThread.h"
#include "PulseDaemon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

constexpr const char* kSecondOutput = "vorane_second";
constexpr double kSineFrequency = 440;

// The daemon of this test program, started by CPulseTest.
CPulseDaemon& TheDaemon();
// Runs pactl against the daemon; returns its exit status, with its output if asked.
int Pactl(const std::string& arguments, std::string* pOutput = nullptr);

// Another application playing a 44100 Hz stereo sine into the server PULSE_SERVER names,
// from Play (which returns once the server took a 200 ms lead-in of silence) until Stop.
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

// The daemon runs, this process talks to it, the server is registered, default settings, fresh device list.
class CPulseTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    CTempFolder m_folder{"pulse"};
    CTonePlayer m_tone;
};

// Records into the receiver until nSeconds buffers were handed on, runs meanwhile,
// stops and waits for the receiver's Finish. Returns the buffers handed on.
int CaptureInto(IReceiver& receiver, int nSeconds, const std::function<void()>& meanwhile = nullptr);
// Prepares the line as the program does and records a WAV file; the file decoded independently.
DecodedAudio RecordWav(const std::string& path, int nSeconds, int nChannels = 2, int nRate = 44100, int nBits = 16,
                       DWORD nVolume = 100);
// Records a WAV file of the current device's format without preparing the line.
int CaptureWav(const std::string& path, int nSeconds, const std::function<void()>& meanwhile = nullptr);
// Level in dB (full scale 0 dB) of the decoded samples, leaving out the first half second.
double LevelDb(const DecodedAudio& audio);
