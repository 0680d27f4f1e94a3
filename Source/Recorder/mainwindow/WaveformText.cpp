#include "WaveformText.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
template <typename... Args>
std::string Format(const char* pszFormat, Args... args)
{
    char text[64];
    std::snprintf(text, sizeof(text), pszFormat, args...);
    return text;
}

const char* ChannelsText(uint32_t nChannels)
{
    return nChannels == 1 ? "Mono" : "Stereo";
}
}  // namespace

std::string FormatSeconds(int nSeconds)
{
    const int h = nSeconds / 3600;
    const int m = (nSeconds - h * 3600) / 60;
    const int s = nSeconds - (h * 60 + m) * 60;
    return Format("%02d:%02d:%02d", h, m, s);
}

std::string FormatMilliseconds(int nMilliseconds, int nMode)
{
    const int m = nMilliseconds / 1000 / 60;
    const int r = (nMilliseconds - m * 60000) / 1000;
    switch (nMode)
    {
    case 1:
        return Format("%02d", m);
    case 2:
        return Format("%02d:%02d", m, r);
    case 3:
        return Format("%02d:%02d:%02d", m, r, nMilliseconds - (r + m * 60) * 1000);
    default:
        return std::string();
    }
}

uint32_t GetFileSizeByName(const char* pszPath)
{
    if (!pszPath)
        return 0;
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st;
    uint32_t nSize = 0;
    // A folder opens for reading here but is not a file with a size.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        nSize = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size));
    close(fd);
    return nSize;
}

std::string InfoFormatText(uint32_t nSampleRate, uint32_t nChannels, uint32_t nBitrate)
{
    if (nBitrate > 100)
        return InfoFormatMeasureText(nSampleRate, nChannels, nBitrate);
    return Format("%dHZ %s VBR", static_cast<int>(nSampleRate), ChannelsText(nChannels));
}

std::string InfoFormatMeasureText(uint32_t nSampleRate, uint32_t nChannels, uint32_t nBitrate)
{
    return Format("%dHZ %s %dkbps", static_cast<int>(nSampleRate), ChannelsText(nChannels),
                  static_cast<int>(nBitrate / 1000));
}

std::string InfoLengthText(uint32_t nLength)
{
    if (nLength == 0)
        return std::string();
    if (nLength < 3600000)
        return FormatMilliseconds(static_cast<int>(nLength), 2);
    return FormatSeconds(static_cast<int>(nLength / 1000));
}

std::string InfoSizeText(uint32_t nSize)
{
    if (nSize == 0)
        return std::string();
    return Format("%d", static_cast<int>(nSize / 1000));
}
