// The FSK filter chain over a run of samples. The chain is three sixth-order
// recursions; sample by sample they keep their histories in 8-entry rings
// in memory, so every output waits for a store and a reload. Here the
// histories live in registers for the whole run, the space and mark
// band-passes share their steps as the two lanes of one vector (lane 0
// space, lane 1 mark: the same operations in the same order as each filter
// alone), and the rings are written back once at the end. Every value,
// trace included, is the one FilterSample produces.
#include "callerid/exact/fsk_demodulator.h"

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

namespace {

// The three filters' histories as rings with a phase fixed at compile time:
// at phase J the input (or output) m samples back sits at [(J - m) & 7], so
// a run unrolled by eight never moves a value.
struct Chain {
  Pair bx[8], by[8];  // band-pass gained inputs and outputs, space in lane 0, mark in lane 1
  double lx[8], ly[8];
  Pair g, c1, c2, c3, c4, c5, c6;
  const double* low;
  FskDemodulator* d;
  int t;
};

template <int J>
inline float Step(Chain& c, std::int16_t sample) {
  constexpr int k1 = (J - 1) & 7, k2 = (J - 2) & 7, k3 = (J - 3) & 7, k4 = (J - 4) & 7;
  constexpr int k5 = (J - 5) & 7, k6 = (J - 6) & 7;
  const float x = static_cast<float>(sample) * kSampleScale;
  c.d->trace[0][c.t] = x;
  // Numerator 1, 0, -3, 0, 3, 0, -1 on the gained input, then the feedback
  // from six samples back to one.
  const Pair in = Pair{x, x} * c.g;
  Pair acc = (c.bx[k4] - c.bx[k2]) * Pair{3.0, 3.0} + (in - c.bx[k6]);
  acc += c.by[k6] * c.c1;
  acc += c.by[k5] * c.c2;
  acc += c.by[k4] * c.c3;
  acc += c.by[k3] * c.c4;
  acc += c.by[k2] * c.c5;
  acc += c.by[k1] * c.c6;
  c.bx[J] = in;
  c.by[J] = acc;
  const float s = static_cast<float>(acc[0]);
  const double mk = acc[1];
  c.d->trace[1][c.t] = static_cast<float>(mk - s);
  const float discriminator = static_cast<float>(mk * mk - static_cast<double>(s) * s);
  // Binomial numerator 1, 6, 15, 20, 15, 6, 1, then the feedback.
  const double* low = c.low;
  const double lin = static_cast<double>(discriminator) * low[0];
  double lacc = 15.0 * (c.lx[k2] + c.lx[k4]) + 6.0 * (c.lx[k1] + c.lx[k5]) + (lin + c.lx[k6]) + 20.0 * c.lx[k3];
  lacc += c.ly[k6] * low[1];
  lacc += c.ly[k5] * low[2];
  lacc += c.ly[k4] * low[3];
  lacc += c.ly[k3] * low[4];
  lacc += c.ly[k2] * low[5];
  lacc += c.ly[k1] * low[6];
  c.lx[J] = lin;
  c.ly[J] = lacc;
  const float y = static_cast<float>(lacc);
  c.d->trace[2][c.t] = y;
  c.t = (c.t + 1) & (kFskTraceLength - 1);
  return y;
}

}  // namespace

void FskFilterSamples(FskDemodulator* d, const std::int16_t* samples, std::int32_t n, float* levels) {
  if (n <= 0) return;
  const double* space = BandPassCoefficients[d->bandwidthSelect + 2 * d->spaceTone];
  const double* mark = BandPassCoefficients[d->bandwidthSelect + 2 * d->markTone];
  Chain c;
  c.low = LowPassCoefficients[d->bandwidthSelect];
  c.d = d;
  c.t = d->traceIndex;
  // Phase 0 starts the run: m + 1 samples back sits at [7 - m].
  for (int m = 0; m < 8; ++m) {
    c.bx[7 - m] = Pair{InputBack(d->spaceFilter, m), InputBack(d->markFilter, m)};
    c.by[7 - m] = Pair{OutputBack(d->spaceFilter, m), OutputBack(d->markFilter, m)};
    c.lx[7 - m] = InputBack(d->lowPass, m);
    c.ly[7 - m] = OutputBack(d->lowPass, m);
  }
  c.g = Pair{space[0], mark[0]};
  c.c1 = Pair{space[1], mark[1]};
  c.c2 = Pair{space[2], mark[2]};
  c.c3 = Pair{space[3], mark[3]};
  c.c4 = Pair{space[4], mark[4]};
  c.c5 = Pair{space[5], mark[5]};
  c.c6 = Pair{space[6], mark[6]};
  std::int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    levels[i] = Step<0>(c, samples[i]);
    levels[i + 1] = Step<1>(c, samples[i + 1]);
    levels[i + 2] = Step<2>(c, samples[i + 2]);
    levels[i + 3] = Step<3>(c, samples[i + 3]);
    levels[i + 4] = Step<4>(c, samples[i + 4]);
    levels[i + 5] = Step<5>(c, samples[i + 5]);
    levels[i + 6] = Step<6>(c, samples[i + 6]);
    levels[i + 7] = Step<7>(c, samples[i + 7]);
  }
  for (; i < n; ++i) {
    switch (i & 7) {
      case 0: levels[i] = Step<0>(c, samples[i]); break;
      case 1: levels[i] = Step<1>(c, samples[i]); break;
      case 2: levels[i] = Step<2>(c, samples[i]); break;
      case 3: levels[i] = Step<3>(c, samples[i]); break;
      case 4: levels[i] = Step<4>(c, samples[i]); break;
      case 5: levels[i] = Step<5>(c, samples[i]); break;
      default: levels[i] = Step<6>(c, samples[i]); break;
    }
  }
  d->traceIndex = c.t;
  // The last sample sits at [(n - 1) & 7].
  double in[8], out[8];
  for (int lane = 0; lane < 2; ++lane) {
    for (int m = 0; m < 8; ++m) {
      in[m] = c.bx[(n - 1 - m) & 7][lane];
      out[m] = c.by[(n - 1 - m) & 7][lane];
    }
    StoreBack(lane == 0 ? d->spaceFilter : d->markFilter, n, in, out);
  }
  for (int m = 0; m < 8; ++m) {
    in[m] = c.lx[(n - 1 - m) & 7];
    out[m] = c.ly[(n - 1 - m) & 7];
  }
  StoreBack(d->lowPass, n, in, out);
}

void FskSaveFilters(const FskDemodulator* d, std::int32_t ahead, FskFilterCheckpoint* checkpoint) {
  checkpoint->markFilter = d->markFilter;
  checkpoint->spaceFilter = d->spaceFilter;
  checkpoint->lowPass = d->lowPass;
  checkpoint->traceIndex = d->traceIndex;
  checkpoint->ahead = ahead;
  for (int k = 0; k < 3; ++k) {
    for (std::int32_t i = 0; i < ahead; ++i) {
      checkpoint->trace[k][i] = d->trace[k][(d->traceIndex + i) & (kFskTraceLength - 1)];
    }
  }
}

void FskRestoreFilters(FskDemodulator* d, const FskFilterCheckpoint& checkpoint) {
  d->markFilter = checkpoint.markFilter;
  d->spaceFilter = checkpoint.spaceFilter;
  d->lowPass = checkpoint.lowPass;
  d->traceIndex = checkpoint.traceIndex;
  for (int k = 0; k < 3; ++k) {
    for (std::int32_t i = 0; i < checkpoint.ahead; ++i) {
      d->trace[k][(checkpoint.traceIndex + i) & (kFskTraceLength - 1)] = checkpoint.trace[k][i];
    }
  }
}

}  // namespace quorvane
