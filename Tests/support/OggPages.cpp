#include "OggPages.h"

#include "TestSupport.h"

#include <cstring>

namespace
{
// The page checksum, taken with its own four bytes (22 to 25) as zero.
uint32_t OggCrc(const uint8_t* p, size_t n)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i)
    {
        crc ^= static_cast<uint32_t>(i >= 22 && i < 26 ? 0 : p[i]) << 24;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}
}  // namespace

OggWalk WalkOggFile(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    OggWalk walk;
    std::vector<uint8_t> partial;
    for (size_t pos = 0; pos < bytes.size(); pos = walk.pages.back().end)
    {
        const uint8_t* h = &bytes[pos];
        const size_t nSegments = bytes.size() - pos >= 27 ? h[26] : 0;
        size_t length = 27 + nSegments;
        for (size_t i = 0; i < nSegments && 27 + i < bytes.size() - pos; ++i)
            length += h[27 + i];
        if (bytes.size() - pos < 27 || std::memcmp(h, "OggS", 5) != 0 || bytes.size() - pos < length ||
            OggCrc(h, length) != LE32(h + 22))
        {
            walk.error = "no whole page with a right checksum at offset " + std::to_string(pos);
            return walk;
        }
        walk.pages.push_back({pos + length, h[5], static_cast<int64_t>(LE32(h + 6)) | int64_t(LE32(h + 10)) << 32,
                              LE32(h + 14)});
        const uint8_t* body = h + 27 + nSegments;
        for (size_t i = 0; i < nSegments; ++i)
        {
            partial.insert(partial.end(), body, body + h[27 + i]);
            body += h[27 + i];
            if (h[27 + i] < 255)  // a short segment ends its packet
            {
                walk.packets.push_back(partial);
                partial.clear();
            }
        }
    }
    walk.ok = !walk.pages.empty();
    return walk;
}

std::vector<std::string> VorbisComments(const std::vector<uint8_t>& packet)
{
    if (packet.size() < 11 || std::memcmp(packet.data(), "\x03vorbis", 7) != 0)
        return {};
    size_t pos = 11 + LE32(&packet[7]);  // past the vendor text
    const uint32_t nCount = pos + 4 <= packet.size() ? LE32(&packet[pos]) : 0;
    std::vector<std::string> fields;
    pos += 4;
    while (fields.size() < nCount && pos + 4 <= packet.size() && packet.size() - pos - 4 >= LE32(&packet[pos]))
    {
        const uint32_t nLength = LE32(&packet[pos]);
        fields.emplace_back(reinterpret_cast<const char*>(&packet[pos + 4]), nLength);
        pos += 4 + nLength;
    }
    // Every field was there, and the framing bit closes the header.
    return fields.size() == nCount && pos + 1 == packet.size() && (packet[pos] & 1) ? fields
                                                                                  : std::vector<std::string>{};
}
