// An independent look at Ogg files: the pages with their checksums, the packets
// they carry, and the Vorbis comment header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct OggPageInfo
{
    size_t offset = 0;
    size_t length = 0;  // header and body
    uint8_t headerType = 0;
    int64_t granule = 0;
    uint32_t serial = 0;
    uint32_t sequence = 0;
    bool crcOk = false;
    bool Continued() const { return headerType & 1; }
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
OggWalk WalkOggPages(const std::vector<uint8_t>& bytes);

struct VorbisComments
{
    bool ok = false;
    std::string vendor;
    std::vector<std::pair<std::string, std::string>> fields;  // in order, key as written
};
// Reads the second packet of a Vorbis stream.
VorbisComments ParseVorbisComments(const std::vector<uint8_t>& packet);
