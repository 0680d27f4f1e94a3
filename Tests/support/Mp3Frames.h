// An independent look at MP3 files: walks the MPEG audio frame headers from the
// first byte to the ID3v1 tag, and reads the tag.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Mp3Frame
{
    size_t offset = 0;
    size_t length = 0;     // bytes, header included
    int version = 0;       // 10 MPEG-1, 20 MPEG-2, 25 MPEG-2.5
    int layer = 0;         // 1, 2 or 3
    int bitrateKbps = 0;   // 0 for free format
    int sampleRate = 0;
    bool crc = false;
    bool padding = false;
    bool privateBit = false;
    int mode = 0;          // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool copyright = false;
    bool original = false;
    int emphasis = 0;
};

struct Mp3Walk
{
    bool ok = false;           // every byte belongs to a frame or to the tag
    std::string error;
    std::vector<Mp3Frame> frames;
    bool hasId3v1 = false;
    std::vector<uint8_t> id3v1;  // the 128 tag bytes, when present
};

// Frames must follow each other without a gap from the start (after an ID3v2 tag,
// if any) up to the end of the file or a final 128-byte "TAG" block.
Mp3Walk WalkMp3Frames(const std::vector<uint8_t>& bytes);
Mp3Walk WalkMp3File(const std::string& path);
// The bytes of a tag field, up to the first zero.
std::string TagField(const std::vector<uint8_t>& tag, size_t offset, size_t width);
