// Stand-in for winmm's PlaySoundA with SND_ASYNC: plays a PCM WAVE image
// through the sound server (libpulse: PulseAudio, or PipeWire's pulse
// service) on a thread of its own and returns at once.
//
// Only what the program relies on: SND_ASYNC with SND_RESOURCE (a sound
// registered under a number with RegisterSoundResource) or SND_MEMORY (a
// WAVE image the caller keeps alive until the call returns; it is copied).
// A new sound ends the one still playing; a null sound just ends it. Where
// no server answers (none runs, or it does not answer within a few seconds)
// the sound is dropped without a word: the program never waits for it and
// never starts a server of its own.
//
// Threads: any thread may call these. The player thread never waits for the
// caller; it ends with the program (at most one poll interval later).
#pragma once
#include "windef.h"

#include <cstdint>
#include <vector>

typedef void* HMODULE;

#define SND_SYNC 0x0000u
#define SND_ASYNC 0x0001u
#define SND_NODEFAULT 0x0002u
#define SND_MEMORY 0x0004u
#define SND_RESOURCE 0x00040004u

#ifndef MAKEINTRESOURCEA
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<uint16_t>(i))))
#endif

// Makes the WAVE image the sound of SND_RESOURCE with that number (replacing any before).
void RegisterSoundResource(UINT nId, std::vector<uint8_t> wave);

// TRUE when the sound was found, is a PCM WAVE image (8 or 16 bits, 1 or 2
// channels) and was handed to the player thread; FALSE otherwise, and for
// anything but SND_ASYNC. With pszSound null: ends the sound playing, TRUE.
BOOL PlaySoundA(LPCSTR pszSound, HMODULE hmod, DWORD fdwSound);
