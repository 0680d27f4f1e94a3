// Track texts (album, artist, title) as every receiver hands them to its library.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "Utf8.h"

// The text as valid UTF-8 without control characters, the same for every format: each
// byte that does not belong to a well-formed UTF-8 character (a stray continuation byte,
// a cut or overlong sequence, a surrogate, a code point above U+10FFFF) becomes U+FFFD,
// and each control character (U+0000 to U+001F, U+007F to U+009F) becomes a space.
// Settings come from hand-edited files and old Latin-1 configurations; libraries either
// refuse such bytes, complain about them or pass them on into files other programs
// cannot read.
std::string CleanTagText(const std::string& text);

// The track information a recording's tags carry, copied from the settings when the
// recording is prepared (RecordingStart.h), so the capture thread never reads the settings.
struct TrackTags
{
    std::string album;
    std::string artist;
    std::string title;
    int year = 0;
};
