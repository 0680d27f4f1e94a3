#include "BothSources.h"

#include <algorithm>
#include <cmath>

namespace winmm
{
const char* const BOTH_LINE_NAME = "Stereo Mix + Microphone";
const char* const SIDE_BY_SIDE_CONTROL_NAME = "Side by Side";

namespace
{
// Just below full scale, so rounding to 16 bits can never reach past it.
constexpr double kCeiling = 0.97;
constexpr double kReleaseSeconds = 0.2;

// Rounded to the nearest 16-bit value (lround is several times slower, and this runs for every sample).
int16_t To16(double x)
{
    const double v = std::clamp(x * 32768, -32768.0, 32767.0);
    return static_cast<int16_t>(v < 0 ? v - 0.5 : v + 0.5);
}
}  // namespace

CBothMixer::CBothMixer(DWORD nRate)
    : m_release(std::exp(-1.0 / (kReleaseSeconds * std::max<DWORD>(1, nRate))))
{
}

void CBothMixer::Mix(bool bSideBySide, double gain, double cl, double cr, double ml, double mr, double& outL,
                     double& outR)
{
    if (bSideBySide)
    {
        // Each source has a channel to itself and cannot pass full scale there.
        outL = gain * (cl + cr) / 2;
        outR = gain * (ml + mr) / 2;
        return;
    }
    double l = gain * (cl + ml), r = gain * (cr + mr);
    // The envelope follows a peak at once and falls slowly: both channels get the same
    // gain, so the stereo picture stays where it was.
    m_envelope = std::max(std::max(std::fabs(l), std::fabs(r)), m_envelope * m_release);
    if (m_envelope > kCeiling)
    {
        const double reduce = kCeiling / m_envelope;
        l *= reduce;
        r *= reduce;
    }
    outL = l;
    outR = r;
}

void CBothMixer::Mix16(bool bSideBySide, double gain, const int16_t* pComputer, const int16_t* pMicrophone,
                       size_t nFrames, int16_t* pOut)
{
    constexpr double kScale = 1.0 / 32768;
    for (size_t i = 0; i < nFrames; ++i)
    {
        double l, r;
        Mix(bSideBySide, gain, pComputer[2 * i] * kScale, pComputer[2 * i + 1] * kScale, pMicrophone[2 * i] * kScale,
            pMicrophone[2 * i + 1] * kScale, l, r);
        pOut[2 * i] = To16(l);
        pOut[2 * i + 1] = To16(r);
    }
}
}  // namespace winmm
