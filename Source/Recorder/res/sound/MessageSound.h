// The sound the message boxes play as they open, made in code: a soft bell
// at 880 Hz with two quieter overtones, fading out within one second.
#pragma once
#include <cstdint>
#include <vector>

// The number the message boxes play it by.
constexpr unsigned IDR_MESSAGE_SOUND = 155;
constexpr double MESSAGE_SOUND_FREQUENCY = 880;

// A RIFF WAVE image: PCM, one channel, 22050 Hz, 16 bits, one second.
std::vector<uint8_t> MakeMessageSoundWave();
