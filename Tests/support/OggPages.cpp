#include "OggPages.h"

#include "TestSupport.h"

#include <cstring>

namespace
{
uint32_t OggCrc(const uint8_t* p, size_t n)
{
    static uint32_t table[256];
    static bool ready = false;
    if (!ready)
    {
        for (uint32_t i = 0; i < 256; ++i)
        {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            table[i] = r;
        }
        ready = true;
    }
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) & 0xFF) ^ p[i]];
    return crc;
}
}  // namespace

OggWalk WalkOggPages(const std::vector<uint8_t>& bytes)
{
    OggWalk walk;
    size_t pos = 0;
    std::vector<uint8_t> partial;
    while (pos < bytes.size())
    {
        if (bytes.size() - pos < 27 || std::memcmp(&bytes[pos], "OggS", 4) != 0 || bytes[pos + 4] != 0)
        {
            walk.error = "no page at offset " + std::to_string(pos);
            return walk;
        }
        const uint8_t* h = &bytes[pos];
        OggPageInfo page;
        page.offset = pos;
        page.headerType = h[5];
        page.granule = static_cast<int64_t>(LE32(h + 6)) | (static_cast<int64_t>(LE32(h + 10)) << 32);
        page.serial = LE32(h + 14);
        page.sequence = LE32(h + 18);
        size_t nSegments = h[26];
        if (bytes.size() - pos < 27 + nSegments)
        {
            walk.error = "page header cut short at offset " + std::to_string(pos);
            return walk;
        }
        size_t bodyLength = 0;
        for (size_t i = 0; i < nSegments; ++i)
            bodyLength += h[27 + i];
        page.length = 27 + nSegments + bodyLength;
        if (bytes.size() - pos < page.length)
        {
            walk.error = "page body cut short at offset " + std::to_string(pos);
            return walk;
        }
        std::vector<uint8_t> copy(h, h + page.length);
        std::memset(&copy[22], 0, 4);
        page.crcOk = OggCrc(copy.data(), copy.size()) == LE32(h + 22);

        const uint8_t* body = h + 27 + nSegments;
        size_t offset = 0;
        for (size_t i = 0; i < nSegments; ++i)
        {
            partial.insert(partial.end(), body + offset, body + offset + h[27 + i]);
            offset += h[27 + i];
            if (h[27 + i] < 255)
            {
                walk.packets.push_back(partial);
                partial.clear();
            }
        }
        walk.pages.push_back(page);
        pos += page.length;
    }
    walk.ok = !walk.pages.empty();
    for (const OggPageInfo& p : walk.pages)
        if (!p.crcOk)
        {
            walk.ok = false;
            walk.error = "bad checksum on the page at offset " + std::to_string(p.offset);
        }
    if (walk.pages.empty())
        walk.error = "no pages";
    return walk;
}

OggWalk WalkOggFile(const std::string& path)
{
    return WalkOggPages(ReadFileBytes(path));
}

VorbisComments ParseVorbisComments(const std::vector<uint8_t>& packet)
{
    VorbisComments c;
    if (packet.size() < 7 + 4 || packet[0] != 3 || std::memcmp(&packet[1], "vorbis", 6) != 0)
        return c;
    size_t pos = 7;
    auto take = [&](uint32_t& value) {
        if (packet.size() - pos < 4)
            return false;
        value = LE32(&packet[pos]);
        pos += 4;
        return true;
    };
    uint32_t n;
    if (!take(n) || packet.size() - pos < n)
        return c;
    c.vendor.assign(reinterpret_cast<const char*>(&packet[pos]), n);
    pos += n;
    uint32_t count;
    if (!take(count))
        return c;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!take(n) || packet.size() - pos < n)
            return c;
        std::string field(reinterpret_cast<const char*>(&packet[pos]), n);
        pos += n;
        size_t eq = field.find('=');
        c.fields.emplace_back(field.substr(0, eq), eq == std::string::npos ? "" : field.substr(eq + 1));
    }
    // The framing bit closes the header.
    c.ok = pos < packet.size() && (packet[pos] & 1);
    return c;
}
