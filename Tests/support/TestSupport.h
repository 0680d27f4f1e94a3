// Shared helpers for the tests: the message-box recorder, the virtual device
// with its manual clock, signal analysis and an independent look at files.
#pragma once
#include "MessageBox.h"
#include "VirtualDevice.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Collects every message the code shows, instead of showing it.
class CMessageRecorder
{
    template <class F>
    auto Locked(F f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f();
    }

public:
    CMessageRecorder()
    {
        m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
            Locked([&] {
                m_texts.push_back(r.text);
                m_shown.push_back(r.text + "|" + r.caption + "|" + std::to_string(r.type));
            });
            return IDOK;
        });
    }
    ~CMessageRecorder() { SetMessageBoxHandler(m_previous); }
    std::vector<std::string> Texts() { return Locked([this] { return m_texts; }); }
    // Each message with its caption and type, as "text|caption|type".
    std::vector<std::string> Shown() { return Locked([this] { return m_shown; }); }
    void Clear()
    {
        Locked([this] {
            m_texts.clear();
            m_shown.clear();
        });
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<std::string> m_shown;
    MessageBoxHandler m_previous;
};

// A fresh default virtual device on the manual clock, restored afterwards.
struct CManualClockScope
{
    explicit CManualClockScope(const std::vector<winmm::virt::DeviceSpec>& devices = {winmm::virt::DefaultDevice()})
    {
        winmm::virt::SetDevices(devices);
        winmm::virt::UseManualClock(true);
    }
    ~CManualClockScope() { winmm::virt::Restore(); }
};

// The frequency of the strongest tone in the samples, in 5 Hz steps from 20 Hz to 5 kHz.
double DominantFrequency(const std::vector<float>& samples, double dRate);
// The peak amplitude of the tone in the samples (full scale 1.0), over one second from the middle.
double ToneAmplitude(const std::vector<float>& samples, double dFrequency, double dRate);
// Root mean square of the samples (full scale 1.0).
double Rms(const std::vector<float>& samples);

// Interleaved 16-bit PCM as floats of the first channel.
std::vector<float> FirstChannel(const uint8_t* pData, size_t nBytes, int nChannels);

// What an independent decoder (FFmpeg's libraries) finds in a file.
struct DecodedAudio
{
    bool ok = false;
    std::string error;
    std::string codec;        // FFmpeg's codec name ("pcm_s16le", "mp3", "vorbis", "wmav2")
    int sampleRate = 0;
    int channels = 0;
    int64_t bitRate = 0;      // as the container or stream reports it
    double duration = 0;      // seconds, from the decoded samples
    std::map<std::string, std::string> tags;  // container and stream metadata
    std::vector<float> firstChannel;          // decoded samples of the first channel
    std::vector<float> secondChannel;         // and of the second, when there is one
};
DecodedAudio DecodeFile(const std::string& path);

// What FFmpeg's own command-line tools make of a file: every line "ffmpeg -v error" prints while
// decoding it to the end (empty for a clean file), and ffprobe's duration (-1 when it states none).
struct FfmpegVerdict
{
    std::string errors;
    double statedDuration = -1;
};
FfmpegVerdict AskFfmpeg(const std::string& path);

// A new empty folder under the test binary directory, removed by the destructor.
class CTempFolder
{
public:
    explicit CTempFolder(const std::string& name);
    ~CTempFolder();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
inline uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LE32(const uint8_t* p) { return LE16(p) | static_cast<uint32_t>(LE16(p + 2)) << 16; }

// Runs a command, returning its exit status and standard output.
int RunCommand(const std::string& command, std::string* pOutput = nullptr);

// The names in a folder, hidden ones included, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// Asks the condition every 10 ms until it holds; false when it still does not after nTimeoutMs.
bool PollUntil(const std::function<bool()>& condition, int nTimeoutMs = 30000);

// Runs f in a forked child, so that the limits, user and signal dispositions it sets stay there; the text f
// returned, or what became of a child that did not return.
std::string InChild(const std::function<std::string()>& f);

// Sets an environment variable (or, with nullopt, removes it) for the life of the object.
class CScopedEnv
{
public:
    CScopedEnv(const char* pszName, const std::optional<std::string>& value);
    ~CScopedEnv();
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    const char* m_pszName;
    std::optional<std::string> m_old;
};

// RIFF size, format fields (tag, channels, rate, bytes a second, align, bits) and data size of a plain
// 44-byte WAV header; empty for anything else.
std::vector<uint32_t> WavHeaderFields(const std::vector<uint8_t>& file);
