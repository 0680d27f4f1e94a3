// An independent look at MP3 files: walks the MPEG-1 Layer III frame headers from
// the first byte to the ID3v1 tag, and reads the tag.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Mp3Frame
{
    size_t offset = 0;
    size_t length = 0;  // bytes, header included
    int bitrateKbps = 0;
    int sampleRate = 0;
    int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool privateBit = false, copyright = false, original = false;
};

struct Mp3Walk
{
    bool ok = false;  // every byte belongs to a frame or to the tag
    std::string error;
    std::vector<Mp3Frame> frames;
    std::vector<uint8_t> id3v1;  // the 128 tag bytes, when present
};

// Frames must follow each other without a gap from the start up to the end of the
// file or a final 128-byte "TAG" block; anything but MPEG-1 Layer III is refused.
Mp3Walk WalkMp3File(const std::string& path);
// The bytes of a tag field, up to the first zero.
std::string TagField(const std::vector<uint8_t>& tag, size_t offset, size_t width);
