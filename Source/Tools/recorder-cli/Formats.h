// The output formats the command-line recorder can write. Each format file
// registers itself; the recorder looks formats up by name.
#pragma once
#include <functional>
#include <string>

class IReceiver;

// What a recording shows about itself once its receiver is set up.
struct RecordingInfo
{
    unsigned nBitrate = 0;  // bits per second
    unsigned nSampleRate = 0;
    unsigned nChannels = 0;
    unsigned nBitsPerSample = 0;
};

// A receiver made ready for the capture, with the way to destroy it.
struct PreparedReceiver
{
    IReceiver* pReceiver = nullptr;
    std::function<void()> destroy;
};

struct CliFormat
{
    const char* pszName;  // as typed on the command line
    int nOutputFormat;    // OUTPUT_FORMAT_*
    // Called after the device and line are prepared. Throws the message text on failure;
    // returns no receiver when the start fails without a message of its own.
    std::function<PreparedReceiver(const std::string& path, RecordingInfo& info)> prepare;
};

void RegisterCliFormat(const CliFormat& format);
const CliFormat* FindCliFormat(const std::string& name);
std::string CliFormatNames();

struct CliFormatRegistration
{
    explicit CliFormatRegistration(const CliFormat& format) { RegisterCliFormat(format); }
};
