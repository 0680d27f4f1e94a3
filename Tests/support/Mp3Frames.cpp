#include "Mp3Frames.h"

#include "TestSupport.h"

namespace
{
const int BITRATES_V1_L3[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
const int BITRATES_V1_L2[16] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1};
const int BITRATES_V1_L1[16] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1};
const int BITRATES_V2_L1[16] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1};
const int BITRATES_V2_L23[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1};
const int RATES_V1[4] = {44100, 48000, 32000, 0};

bool ParseHeader(const uint8_t* p, Mp3Frame& f)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    int versionBits = (p[1] >> 3) & 3;
    int layerBits = (p[1] >> 1) & 3;
    if (versionBits == 1 || layerBits == 0)
        return false;
    f.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    f.layer = 4 - layerBits;
    f.crc = (p[1] & 1) == 0;
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    if (rateIndex == 3)
        return false;
    f.padding = (p[2] >> 1) & 1;
    f.privateBit = p[2] & 1;
    f.mode = p[3] >> 6;
    f.copyright = (p[3] >> 3) & 1;
    f.original = (p[3] >> 2) & 1;
    f.emphasis = p[3] & 3;
    const int* table = f.version == 10 ? (f.layer == 3 ? BITRATES_V1_L3 : f.layer == 2 ? BITRATES_V1_L2 : BITRATES_V1_L1)
                                       : (f.layer == 1 ? BITRATES_V2_L1 : BITRATES_V2_L23);
    f.bitrateKbps = table[bitrateIndex];
    if (f.bitrateKbps <= 0)
        return false;  // free format or invalid: not something this program writes
    f.sampleRate = RATES_V1[rateIndex] / (f.version == 10 ? 1 : f.version == 20 ? 2 : 4);
    if (f.layer == 1)
        f.length = (12000 * f.bitrateKbps / f.sampleRate + f.padding) * 4;
    else if (f.layer == 3 && f.version != 10)
        f.length = 72000 * f.bitrateKbps / f.sampleRate + f.padding;
    else
        f.length = 144000 * f.bitrateKbps / f.sampleRate + f.padding;
    return true;
}
}  // namespace

Mp3Walk WalkMp3Frames(const std::vector<uint8_t>& bytes)
{
    Mp3Walk walk;
    size_t end = bytes.size();
    if (end >= 128 && bytes[end - 128] == 'T' && bytes[end - 127] == 'A' && bytes[end - 126] == 'G')
    {
        walk.hasId3v1 = true;
        walk.id3v1.assign(bytes.end() - 128, bytes.end());
        end -= 128;
    }
    size_t pos = 0;
    if (end >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3')
        pos = 10 + ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
    while (pos < end)
    {
        Mp3Frame f;
        if (end - pos < 4 || !ParseHeader(&bytes[pos], f))
        {
            walk.error = "no frame header at offset " + std::to_string(pos);
            return walk;
        }
        f.offset = pos;
        if (pos + f.length > end)
        {
            walk.error = "the frame at offset " + std::to_string(pos) + " is cut short";
            return walk;
        }
        walk.frames.push_back(f);
        pos += f.length;
    }
    walk.ok = !walk.frames.empty();
    if (!walk.ok)
        walk.error = "no frames";
    return walk;
}

Mp3Walk WalkMp3File(const std::string& path)
{
    return WalkMp3Frames(ReadFileBytes(path));
}

std::string TagField(const std::vector<uint8_t>& tag, size_t offset, size_t width)
{
    std::string text;
    for (size_t i = offset; i < offset + width && i < tag.size() && tag[i]; ++i)
        text += static_cast<char>(tag[i]);
    return text;
}
