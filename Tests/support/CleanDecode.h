// What FFmpeg's own command-line tools make of a file: the errors its decoder reports
// while decoding it to the end, and the duration its container states.
#pragma once
#include <string>

struct FfmpegVerdict
{
    std::string errors;        // every line "ffmpeg -v error" printed; empty for a clean file
    double statedDuration = -1;  // ffprobe's duration of the file, -1 when it has none
};
FfmpegVerdict AskFfmpeg(const std::string& path);
