#include "callerid/exact/fsk_demodulator.h"

namespace quorvane {
namespace {

constexpr float kSampleScale = 0.00390625f;   // 1/256
constexpr float kExactSevenBitLength = 7.0f;
constexpr float kTwentyThirds = 6.6666665f;   // 1200 bit/s at 8000 samples/s
constexpr float kStartThreshold = -0.5f;
// A whole character (at most 10 bits of at most 7 samples) fits in this many
// samples, so the bit sampler needs no count checks.
constexpr std::int32_t kCharacterSamples = 80;

// Numerator 1, 0, -3, 0, 3, 0, -1 on the gained input, then the feedback.
double BandPass(FskFilterHistory& f, const double* row, float x) {
  const int i = f.index;
  double* in = f.input;
  double* out = f.output;
  in[(i - 2) & 7] = static_cast<double>(x) * row[0];  // x'[n - k] sits at (i - 2 - k) & 7
  double acc = (in[(i - 6) & 7] - in[(i - 4) & 7]) * 3.0 + (in[(i - 2) & 7] - in[i & 7]);
  for (int k = 0; k < 6; ++k) acc += out[(i + k) & 7] * row[k + 1];
  out[(i + 6) & 7] = acc;
  f.index = (i + 1) & 7;
  return acc;
}

// Binomial numerator 1, 6, 15, 20, 15, 6, 1, then the feedback.
double LowPassStep(FskFilterHistory& f, const double* row, float x) {
  const int i = f.index;
  double* in = f.input;
  double* out = f.output;
  in[(i - 2) & 7] = static_cast<double>(x) * row[0];
  double acc = 15.0 * (in[(i - 4) & 7] + in[(i - 6) & 7]) + 6.0 * (in[(i - 3) & 7] + in[(i - 7) & 7]) +
               (in[(i - 2) & 7] + in[i & 7]) + 20.0 * in[(i - 5) & 7];
  for (int k = 0; k < 6; ++k) acc += out[(i + k) & 7] * row[k + 1];
  out[(i + 6) & 7] = acc;
  f.index = (i + 1) & 7;
  return acc;
}

// Where the next samples come from: the first ones may have been run
// through the filter chain already (their outputs in `ready`).
struct Source {
  const std::int16_t* cursor;
  const float* ready;
  const float* readyEnd;
};

// Takes the next sample, scales it and runs the filter chain into *field.
inline void FeedSample(FskDemodulator* d, Source& source, std::int32_t* count, float* field) {
  --*count;
  if (source.ready != source.readyEnd) {
    *field = *source.ready++;
    ++source.cursor;
    return;
  }
  const float x = static_cast<float>(*source.cursor++) * kSampleScale;
  FilterSample(d, x, field);
}

std::int32_t SampleBitFrom(FskDemodulator* d, Source& source, std::int32_t* count);

}  // namespace

double MarkFilter(FskDemodulator* d, float x) {
  return BandPass(d->markFilter, BandPassCoefficients[d->bandwidthSelect + 2 * d->markTone], x);
}

double SpaceFilter(FskDemodulator* d, float x) {
  return BandPass(d->spaceFilter, BandPassCoefficients[d->bandwidthSelect + 2 * d->spaceTone], x);
}

double LowPass(FskDemodulator* d, float x) {
  return LowPassStep(d->lowPass, LowPassCoefficients[d->bandwidthSelect], x);
}

std::int32_t FilterSample(FskDemodulator* d, float x, float* output) {
  const int t = d->traceIndex;
  d->trace[0][t] = x;
  const float space = static_cast<float>(SpaceFilter(d, x));
  const double mark = MarkFilter(d, x);
  d->trace[1][t] = static_cast<float>(mark - space);
  const float discriminator = static_cast<float>(mark * mark - static_cast<double>(space) * space);
  const float y = static_cast<float>(LowPass(d, discriminator));
  d->trace[2][t] = y;
  d->traceIndex = (t + 1) & (kFskTraceLength - 1);
  *output = y;
  return 0;
}

std::int32_t SampleBit(FskDemodulator* d, const std::int16_t** cursor, std::int32_t* count) {
  Source source{*cursor, nullptr, nullptr};
  const std::int32_t bit = SampleBitFrom(d, source, count);
  *cursor = source.cursor;
  return bit;
}

namespace {

std::int32_t SampleBitFrom(FskDemodulator* d, Source& source, std::int32_t* count) {
  const float spb = d->samplesPerBit == kExactSevenBitLength ? kTwentyThirds : d->samplesPerBit;
  const float step = spb * 0.03125f;
  const float half = spb * 0.5f;
  float y;
  FeedSample(d, source, count, &y);
  bool corrected = false;
  for (;;) {
    // A sign change of the low-pass output is a bit transition: nudge the
    // bit clock by 1/32 of a bit toward it, at most once per bit.
    if (static_cast<double>(y) * d->prevLevel < 0.0 && !corrected) {
      d->bitPhase = d->bitPhase < half ? d->bitPhase + step : d->bitPhase - step;
      corrected = true;
    }
    d->bitPhase += 1.0f;
    d->prevLevel = y;
    if (d->bitPhase > spb) {
      d->bitPhase -= spb;
      return y > 0.0f ? 0x80 : 0;
    }
    FeedSample(d, source, count, &y);
  }
}

}  // namespace

std::int32_t Demodulate(FskDemodulator* d, const std::int16_t* samples, std::int32_t* count,
                        std::int32_t* character) {
  return DemodulateFiltered(d, samples, count, character, nullptr, 0);
}

std::int32_t DemodulateFiltered(FskDemodulator* d, const std::int16_t* samples, std::int32_t* count,
                                std::int32_t* character, const float* levels, std::int32_t ready) {
  Source cursor{samples, levels, levels + ready};
  switch (d->state) {
    case 1: goto hunt;
    case 2: goto start_check;
    case 3: goto read_character;
    default: break;
  }

resume:
  if (*count == 0) {
    d->state = 1;
    return 0;
  }
  FeedSample(d, cursor, count, &d->level);

hunt:
  for (;;) {
    if (*count == 0) {
      d->state = 1;
      return 0;
    }
    FeedSample(d, cursor, count, &d->huntLevel);
    if (d->huntLevel < kStartThreshold) break;
  }

start_check: {
  // Half a bit further on, the start bit must still be space.
  const std::int32_t half = static_cast<std::int32_t>(d->samplesPerBit) / 2;
  if (*count < half) {
    d->state = 2;
    return 0;
  }
  for (std::int32_t i = 0; i < half; ++i) FeedSample(d, cursor, count, &d->level);
  if (d->level > 0.0f) goto resume;
  d->state = 3;
}

read_character: {
  if (*count < kCharacterSamples) return 0;
  std::int32_t value = 0;
  std::int32_t ones = 0;
  for (std::int32_t i = 0; i < d->dataBits; ++i) {
    const std::int32_t bit = SampleBitFrom(d, cursor, count);
    if (bit != 0) ++ones;
    value = (value >> 1) | bit;
  }
  value >>= 8 - d->dataBits;
  if (d->parityMode != 0) {
    if (SampleBitFrom(d, cursor, count) != 0) ++ones;
    const bool odd = (ones & 1) != 0;
    if (d->parityMode == 1 ? odd : !odd) value |= 0x100;
  }
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(d->stopBits); ++i) {
    if (SampleBitFrom(d, cursor, count) == 0) value |= 0x200;
  }
  *character = value;
  d->state = 0;
  return 1;
}
}

}  // namespace quorvane
