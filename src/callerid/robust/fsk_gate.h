// Whether a stretch of line audio could hold caller-ID FSK at all, for
// next to nothing per sample, so that the receiver's costly bit decisions
// and second readings run only where a burst may be.
//
// The energies of the signal and of its first and second differences give
// the first two moments of its spectrum: a tone of f Hz has its difference
// 4 sin^2(pi f / 8000) times as strong. FSK's two tones, 1200 and 2200 Hz
// (or 1300 and 2100), put the mean in the middle of the band with little
// spread, also under white noise at a few dB SNR; white noise alone
// spreads twice as far, voiced speech sits far lower, hiss higher. Hum and
// its harmonics are taken off first by a high-pass at 600 Hz, so that they
// cannot pull a burst down.
#pragma once

#include <cstdint>

namespace quorvane {

struct FskGate {
  float in[2], out[2];             // the hum filter's last inputs and outputs, newest first
  float previous, previousStep;    // the last filtered sample and its first difference
  double energy[3];                // over the chunk so far: y^2, (dy)^2, (d2y)^2
};

void FskGateInit(FskGate& g);

// Adds samples to the chunk under way.
void FskGateAdd(FskGate& g, const std::int16_t* samples, int count);

// Whether the chunk just ended could hold FSK; the next chunk starts empty.
bool FskGateEndChunk(FskGate& g);

}  // namespace quorvane
