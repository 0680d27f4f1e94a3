// Helpers for the encoder tests: generated PCM, settings restored, receivers set up, recordings judged.
#pragma once
#include "IReceiver.h"
#include "RecorderSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CRecordingFile;

// Interleaved 16-bit stereo PCM at 44100 Hz with the tone on both channels.
std::vector<uint8_t> StereoTone(double dSeconds, double dFrequency, double dAmplitude = 0.5);

// Restores the settings record when it goes out of scope.
class CSettingsScope
{
public:
    CSettingsScope() : m_saved(theSettings) {}
    ~CSettingsScope() { theSettings = m_saved; }

private:
    RecorderSettings m_saved;
};

// A folder name of the running test alone, so tests run side by side never share files.
std::string TestFolderName();

// Points the MP3 binding at the encoder module this build put into the application directory.
void UseBuiltLameModule();

// The text the call throws, "ended: " and the message when it ends the recording, "" when it throws nothing.
template <class F>
std::string ThrownText(F call)
{
    try
    {
        call();
    }
    catch (const CRecorderError& error)
    {
        return (error.EndsRecording() ? "ended: " : "") + std::string(error.what());
    }
    return "";
}

int CurrentYear();

// A new recording file that takes the name path once it holds audio; a file already there goes first.
std::shared_ptr<CRecordingFile> RecordingFileFor(const std::string& path);

// The receiver of the format ("mp3", "ogg", "wav", "wma") on path for CD-quality capture (MP3 128 kbit/s,
// OGG quality 4, WMA 64 kbit/s) with the settings' track tags; null when it cannot open.
std::shared_ptr<IReceiver> PreparedReceiver(const std::string& format, const std::string& path);

// Captures dSeconds of the manual clock from the prepared current device into the receiver and
// stops; false when the capture thread did not end in time.
bool RecordOnManualClock(IReceiver* pReceiver, double dSeconds);

// A file FFmpeg reads without an error, decoded length within bounds and the stated length near it;
// a finished MP3 file is whole frames with the closing tag, a finished OGG file ends its stream.
void ExpectWholeFile(const std::string& path, double dMinSeconds, double dMaxSeconds, double dLengthTolerance,
                     const std::string& what, bool bFinished);

// Runs the command-line recorder on the folder with the arguments after prefix (shell text); its exit
// status and everything it printed.
int RunRecorder(const std::string& folder, const std::string& args, std::string* pOutput,
                const std::string& prefix = "");
