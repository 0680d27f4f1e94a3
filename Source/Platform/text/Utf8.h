// The UTF-8 rules every layer shares: reading one character, and cutting a text at
// a character's boundary. No platform service stands behind them; they sit at the
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
