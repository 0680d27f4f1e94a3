#include "MessageSound.h"

#include <cmath>
#include <cstring>

namespace
{
void Put16(std::vector<uint8_t>& out, uint32_t n)
{
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t n)
{
    Put16(out, n & 0xffff);
    Put16(out, n >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* pszTag)
{
    out.insert(out.end(), pszTag, pszTag + 4);
}
}  // namespace

std::vector<uint8_t> MakeMessageSoundWave()
{
    const uint32_t nRate = 22050, nSamples = nRate;  // one second
    std::vector<uint8_t> wave;
    wave.reserve(44 + 2 * nSamples);
    PutTag(wave, "RIFF");
    Put32(wave, 36 + 2 * nSamples);
    PutTag(wave, "WAVE");
    PutTag(wave, "fmt ");
    Put32(wave, 16);
    Put16(wave, 1);  // PCM
    Put16(wave, 1);  // mono
    Put32(wave, nRate);
    Put32(wave, nRate * 2);
    Put16(wave, 2);
    Put16(wave, 16);
    PutTag(wave, "data");
    Put32(wave, 2 * nSamples);
    for (uint32_t i = 0; i < nSamples; ++i)
    {
        const double t = static_cast<double>(i) / nRate;
        // A 5 ms rise keeps the start from clicking; the overtones fade faster than the note,
        // and the last 50 ms bring it to exactly zero.
        const double rise = std::min(1.0, t / 0.005);
        const double tail = std::min(1.0, (1.0 - t) / 0.05);
        const double w = 2 * M_PI * MESSAGE_SOUND_FREQUENCY * t;
        const double v = std::exp(-t / 0.22) * std::sin(w) + 0.3 * std::exp(-t / 0.12) * std::sin(2 * w) +
                         0.12 * std::exp(-t / 0.08) * std::sin(3 * w);
        Put16(wave, static_cast<uint16_t>(static_cast<int16_t>(std::lround(0.45 * 32767 * rise * tail * v))));
    }
    return wave;
}
