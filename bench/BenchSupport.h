// What the encoder benchmarks share: the input written as the program's own WAV
// file, and the CPU time of a reference tool run to its end.
#pragma once
#include "ReceiverWAV.h"
#include "RecordingFiles.h"

#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// A new recording file that takes the name path once it holds audio; a file already there goes first.
inline std::shared_ptr<CRecordingFile> OutputFor(const std::string& path)
{
    unlink(path.c_str());
    const size_t nSlash = path.rfind('/');
    return CRecordingFile::Create(nSlash == std::string::npos ? "." : path.substr(0, nSlash),
                                  nSlash == std::string::npos ? path : path.substr(nSlash + 1));
}

// 44.1 kHz 16-bit stereo PCM as a WAV file, written by the WAV receiver.
inline bool WriteWav(const std::string& path, const std::vector<uint8_t>& pcm)
{
    CReceiverWAV receiver;
    receiver.Output = OutputFor(path);
    receiver.CaptureFormat = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    receiver.FormatSet = 1;
    try
    {
        bool ok = receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size())) == pcm.size();
        receiver.Finish();
        return ok;
    }
    catch (...)
    {
        return false;
    }
}

// Runs a tool to its end and returns the CPU time (user and system) it used, or -1.
inline double ChildCpuSeconds(const std::vector<std::string>& args)
{
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0)
    {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

inline long long FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
