#include "CleanDecode.h"

#include "TestSupport.h"

#include <cstdlib>

FfmpegVerdict AskFfmpeg(const std::string& path)
{
    FfmpegVerdict verdict;
    RunCommand("ffmpeg -nostdin -hide_banner -v error -i '" + path + "' -f null - 2>&1", &verdict.errors);
    std::string duration;
    RunCommand("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 '" + path + "' 2>&1", &duration);
    char* pEnd = nullptr;
    double d = std::strtod(duration.c_str(), &pEnd);
    if (pEnd != duration.c_str())
        verdict.statedDuration = d;
    return verdict;
}
