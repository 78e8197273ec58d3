// The FSK filter chain over a run of samples. The chain is three sixth-order
// recursions; sample by sample they keep their histories in 8-entry rings
// in memory, so every output waits for a store and a reload. Here the
// histories live in registers for the whole run, the space and mark
// band-passes share their steps as the two lanes of one vector (lane 0
// space, lane 1 mark: the same operations in the same order as each filter
// alone), and the rings are written back once at the end. Every value,
// trace included, is the one FilterSample produces.
#include "fsk/fsk_demodulator.h"

namespace quorvane {
namespace {

using Pair = double __attribute__((vector_size(16)));

constexpr float kSampleScale = 0.00390625f;  // 1/256, as Demodulate scales

// History of one ring as seen from its next step: value m is the input
// (or output) m + 1 samples back. Input n - k sits at (index - 2 - k) & 7,
// output n - k at (index + 6 - k) & 7.
inline double InputBack(const FskFilterHistory& f, int m) { return f.input[(f.index - 3 - m) & 7]; }
inline double OutputBack(const FskFilterHistory& f, int m) { return f.output[(f.index + 5 - m) & 7]; }

inline void StoreBack(FskFilterHistory& f, int steps, const double* in, const double* out) {
  f.index = (f.index + steps) & 7;
  for (int m = 0; m < 8; ++m) {
    f.input[(f.index - 3 - m) & 7] = in[m];
    f.output[(f.index + 5 - m) & 7] = out[m];
  }
}

}  // namespace

void FskFilterSamples(FskDemodulator* d, const std::int16_t* samples, std::int32_t n, float* levels) {
  if (n <= 0) return;
  const double* space = BandPassCoefficients[d->bandwidthSelect + 2 * d->spaceTone];
  const double* mark = BandPassCoefficients[d->bandwidthSelect + 2 * d->markTone];
  const double* low = LowPassCoefficients[d->bandwidthSelect];
  Pair bx[8], by[8];  // band-pass inputs and outputs, 1..8 samples back
  double lx[8], ly[8];
  for (int m = 0; m < 8; ++m) {
    bx[m] = Pair{InputBack(d->spaceFilter, m), InputBack(d->markFilter, m)};
    by[m] = Pair{OutputBack(d->spaceFilter, m), OutputBack(d->markFilter, m)};
    lx[m] = InputBack(d->lowPass, m);
    ly[m] = OutputBack(d->lowPass, m);
  }
  const Pair g{space[0], mark[0]};
  const Pair c1{space[1], mark[1]}, c2{space[2], mark[2]}, c3{space[3], mark[3]};
  const Pair c4{space[4], mark[4]}, c5{space[5], mark[5]}, c6{space[6], mark[6]};
  const Pair three{3.0, 3.0};
  int t = d->traceIndex;
  for (std::int32_t i = 0; i < n; ++i) {
    const float x = static_cast<float>(samples[i]) * kSampleScale;
    d->trace[0][t] = x;
    // Numerator 1, 0, -3, 0, 3, 0, -1 on the gained input, then the feedback
    // from six samples back to one.
    const Pair in = Pair{x, x} * g;
    Pair acc = (bx[3] - bx[1]) * three + (in - bx[5]);
    acc += by[5] * c1;
    acc += by[4] * c2;
    acc += by[3] * c3;
    acc += by[2] * c4;
    acc += by[1] * c5;
    acc += by[0] * c6;
    for (int m = 7; m > 0; --m) {
      bx[m] = bx[m - 1];
      by[m] = by[m - 1];
    }
    bx[0] = in;
    by[0] = acc;
    const float s = static_cast<float>(acc[0]);
    const double mk = acc[1];
    d->trace[1][t] = static_cast<float>(mk - s);
    const float discriminator = static_cast<float>(mk * mk - static_cast<double>(s) * s);

    // Binomial numerator 1, 6, 15, 20, 15, 6, 1, then the feedback.
    const double lin = static_cast<double>(discriminator) * low[0];
    double lacc = 15.0 * (lx[1] + lx[3]) + 6.0 * (lx[0] + lx[4]) + (lin + lx[5]) + 20.0 * lx[2];
    lacc += ly[5] * low[1];
    lacc += ly[4] * low[2];
    lacc += ly[3] * low[3];
    lacc += ly[2] * low[4];
    lacc += ly[1] * low[5];
    lacc += ly[0] * low[6];
    for (int m = 7; m > 0; --m) {
      lx[m] = lx[m - 1];
      ly[m] = ly[m - 1];
    }
    lx[0] = lin;
    ly[0] = lacc;
    const float y = static_cast<float>(lacc);
    d->trace[2][t] = y;
    levels[i] = y;
    t = (t + 1) & (kFskTraceLength - 1);
  }
  d->traceIndex = t;
  double in[8], out[8];
  for (int lane = 0; lane < 2; ++lane) {
    for (int m = 0; m < 8; ++m) {
      in[m] = bx[m][lane];
      out[m] = by[m][lane];
    }
    StoreBack(lane == 0 ? d->spaceFilter : d->markFilter, n, in, out);
  }
  StoreBack(d->lowPass, n, lx, ly);
}

}  // namespace quorvane
