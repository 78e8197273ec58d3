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

// Adds samples to the chunk under way. The gate's state is held in locals
// over a run of samples, so that its sums can go along with another
// detector's loop (AlertToneProcess's tap); End writes it back.
class FskGateRun {
 public:
  explicit FskGateRun(FskGate& g)
      : g_(g), in1_(g.in[0]), in2_(g.in[1]), out1_(g.out[0]), out2_(g.out[1]),
        previous_(g.previous), previousStep_(g.previousStep) {}

  void Add(float x) {
    // Second-order Butterworth high-pass at 600 Hz (bilinear, 8 kHz): 50 Hz
    // down by 43 dB, 250 Hz by 15 dB, 1200 Hz by a quarter of a dB. The
    // newest output last: the loop waits on it from sample to sample.
    constexpr float kB0 = 0.715737410f, kB1 = -1.431474820f, kB2 = 0.715737410f;
    constexpr float kA1 = -1.348967745f, kA2 = 0.513981894f;
    const float y = kB0 * x + kB1 * in1_ + kB2 * in2_ - kA2 * out2_ - kA1 * out1_;
    in2_ = in1_;
    in1_ = x;
    out2_ = out1_;
    out1_ = y;
    const float step = y - previous_;
    const float bend = step - previousStep_;
    previous_ = y;
    previousStep_ = step;
    // Single precision is plenty over one chunk, and keeps the loop cheap.
    e0_ += y * y;
    e1_ += step * step;
    e2_ += bend * bend;
  }

  void End() {
    g_.in[0] = in1_;
    g_.in[1] = in2_;
    g_.out[0] = out1_;
    g_.out[1] = out2_;
    g_.previous = previous_;
    g_.previousStep = previousStep_;
    g_.energy[0] += e0_;
    g_.energy[1] += e1_;
    g_.energy[2] += e2_;
  }

 private:
  FskGate& g_;
  float in1_, in2_, out1_, out2_, previous_, previousStep_;
  float e0_ = 0.0f, e1_ = 0.0f, e2_ = 0.0f;
};

// Whether the chunk just ended could hold FSK; the next chunk starts empty.
bool FskGateEndChunk(FskGate& g);

}  // namespace quorvane
