#include "Mp3Frames.h"

#include "TestSupport.h"

namespace
{
const int BITRATES[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
const int RATES[4] = {44100, 48000, 32000, 0};

// MPEG-1 Layer III, no CRC, a bitrate and rate of the tables.
bool ParseHeader(const uint8_t* p, Mp3Frame& f)
{
    if (p[0] != 0xFF || p[1] != 0xFB || (p[3] & 3) != 0)
        return false;
    f.bitrateKbps = BITRATES[p[2] >> 4];
    f.sampleRate = RATES[(p[2] >> 2) & 3];
    if (f.bitrateKbps <= 0 || f.sampleRate == 0)
        return false;
    f.privateBit = p[2] & 1;
    f.mode = p[3] >> 6;
    f.copyright = (p[3] >> 3) & 1;
    f.original = (p[3] >> 2) & 1;
    f.length = 144000 * f.bitrateKbps / f.sampleRate + ((p[2] >> 1) & 1);
    return true;
}
}  // namespace

Mp3Walk WalkMp3File(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    Mp3Walk walk;
    size_t end = bytes.size();
    if (end >= 128 && std::string(bytes.end() - 128, bytes.end() - 125) == "TAG")
    {
        walk.id3v1.assign(bytes.end() - 128, bytes.end());
        end -= 128;
    }
    for (size_t pos = 0; pos < end; pos += walk.frames.back().length)
    {
        Mp3Frame f;
        f.offset = pos;
        if (end - pos < 4 || !ParseHeader(&bytes[pos], f) || pos + f.length > end)
        {
            walk.error = "no whole frame at offset " + std::to_string(pos);
            return walk;
        }
        walk.frames.push_back(f);
    }
    walk.ok = !walk.frames.empty();
    walk.error = walk.ok ? "" : "no frames";
    return walk;
}

std::string TagField(const std::vector<uint8_t>& tag, size_t offset, size_t width)
{
    std::string text;
    for (size_t i = offset; i < offset + width && i < tag.size() && tag[i]; ++i)
        text += static_cast<char>(tag[i]);
    return text;
}
