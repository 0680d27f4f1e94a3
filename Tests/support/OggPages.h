// An independent look at Ogg files: the pages with their checksums, the packets
// they carry, and the Vorbis comment header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct OggPageInfo
{
    size_t end = 0;  // offset just past the page
    uint8_t headerType = 0;
    int64_t granule = 0;
    uint32_t serial = 0;
    bool Bos() const { return headerType & 2; }
    bool Eos() const { return headerType & 4; }
};

struct OggWalk
{
    bool ok = false;  // every byte belongs to a page with a right checksum
    std::string error;
    std::vector<OggPageInfo> pages;
    std::vector<std::vector<uint8_t>> packets;  // complete packets in order
};
OggWalk WalkOggFile(const std::string& path);

// The "KEY=value" fields of a whole Vorbis comment header (the second packet), in
// order; empty when the packet is anything else.
std::vector<std::string> VorbisComments(const std::vector<uint8_t>& packet);
