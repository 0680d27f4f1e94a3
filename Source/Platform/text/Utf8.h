// The UTF-8 rules every layer shares: reading one character, cutting a text at a
// character's boundary, and repairing a text that is not well-formed. No platform service stands behind them; they sit at the
// bottom layer because the sound-server backend needs them as much as the program.
//
// Threads: any; no state.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The length of the well-formed UTF-8 character at p (n bytes left, n > 0) with its code
// point in cp; 0 when the bytes there are no well-formed character (a stray continuation
// byte, a cut or overlong sequence, a surrogate, a code point above U+10FFFF).
size_t Utf8CharacterLength(const unsigned char* p, size_t n, uint32_t& cp);

// At most nMaxBytes bytes of the text, never ending inside a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t nMaxBytes);

// The character that replaces what is not UTF-8 (U+FFFD).
extern const char* const REPLACEMENT_CHARACTER;

// The text as well-formed UTF-8: each byte that belongs to no well-formed character
// becomes U+FFFD, and each well-formed character goes through replace, which returns
// the text to put in its place, or null to keep it. One walk for the tags and the
// configuration file, which differ only in which characters they refuse.
using Utf8CharacterReplacer = const char* (*)(uint32_t cp);
std::string RepairUtf8(const std::string& text, Utf8CharacterReplacer replace);
