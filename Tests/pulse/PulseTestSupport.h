// Shared by the sound-server tests: the private daemon, a tone player and recordings made as the program makes them.
#pragma once
#include "DeviceThread.h"
#include "PulseDaemon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

constexpr const char* kSecondOutput = "vorane_second";

// The daemon of this test program, started by CPulseTest.
CPulseDaemon& TheDaemon();
// Runs pactl against the daemon; returns its exit status, with its output if asked.
int Pactl(const std::string& arguments, std::string* pOutput = nullptr);

// Another application playing a 44100 Hz stereo sine (peaks dLeft, dRight of full scale) until Stop.
class CTonePlayer
{
public:
    ~CTonePlayer() { Stop(); }
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

// Prepares the line as the program does and records a WAV file; the file decoded independently.
DecodedAudio RecordWav(const std::string& path, int nSeconds, DWORD nVolume = 100);
// Records a WAV file of the current device's format without preparing the line; returns the frames handed on.
uint64_t CaptureWav(const std::string& path, int nSeconds, const std::function<void()>& meanwhile = nullptr);
// Level in dB (full scale 0 dB) of the decoded samples, leaving out the first half second.
double LevelDb(const DecodedAudio& audio);
