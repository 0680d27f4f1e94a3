// The sound-server backend of the winmm stand-in: the PulseAudio sound server
// (or PipeWire speaking its protocol) as one wave-input device, listed before
// every other device. Its mixer lines are the server's sources; the monitor of
// the default output is "Stereo Mix".
//
// Threads: call UseSoundServer on the main thread at start-up. This header
// includes no PulseAudio header.
#pragma once

// Registers the sound server as the first capture device when a server answers.
// Returns within about a second when none does; then there is no such device and
// nothing is shown. Calling it again after a success does nothing.
void UseSoundServer();
