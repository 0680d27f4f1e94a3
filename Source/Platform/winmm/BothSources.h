// The "Stereo Mix + Microphone" line: what the computer plays and what the
// microphone hears in one recording. Windows has no such line; our stand-in
// adds it to the devices that can capture both (the sound server, the virtual
// device), with one control of its own beyond mute and volume: an ONOFF switch
// "Side by Side" (off: both sources in every channel, mixed; on: the computer
// left, the microphone right).
//
// Threads: CBothMixer belongs to the one thread that delivers a stream's audio.
#pragma once
#include "mmsystem.h"

#include <cstddef>
#include <cstdint>

namespace winmm
{
extern const char* const BOTH_LINE_NAME;  // "Stereo Mix + Microphone"
extern const char* const SIDE_BY_SIDE_CONTROL_NAME;

// Mixes the two sources frame by frame. Mixed, a peak limiter keeps the sum below full
// scale: it takes the level down at once where the sum would pass the ceiling and lets it
// back up within a fifth of a second, so a loud moment is never wrapped or clipped.
class CBothMixer
{
public:
    explicit CBothMixer(DWORD nRate);

    // Stereo frames in [-1, 1]: the computer's (cl, cr) and the microphone's (ml, mr);
    // gain is the line's volume (0 when muted). Returns the frame in outL, outR.
    void Mix(bool bSideBySide, double gain, double cl, double cr, double ml, double mr, double& outL, double& outR);
    // The same over 16-bit interleaved stereo.
    void Mix16(bool bSideBySide, double gain, const int16_t* pComputer, const int16_t* pMicrophone, size_t nFrames,
               int16_t* pOut);

private:
    double m_envelope = 0;
    double m_release;
};
}  // namespace winmm
