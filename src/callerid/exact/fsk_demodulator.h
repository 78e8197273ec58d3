// 1200 bit/s FSK demodulator: band-pass pair, energy discriminator,
// low-pass, start-bit hunter and mid-bit sampler.
#pragma once

#include <cstdint>

namespace quorvane {

inline constexpr int kFskTraceLength = 16384;

// Filter history: gained inputs and outputs in 8-entry rings.
struct FskFilterHistory {
  double input[8];
  double output[8];
  std::int32_t index;  // ring position, 0..7
};

struct FskDemodulator {
  float samplesPerBit;          // nominal; exactly 7.0 means 20/3
  std::int32_t dataBits;        // data bits per character
  float stopBits;               // stop bits per character (integer part used)
  std::int32_t parityMode;      // 0 none, 1 even, other odd
  float prevLevel;              // low-pass output at the bit sampler's last sample
  float level;                  // low-pass output of the start-bit check and resume
  float huntLevel;              // low-pass output of the start-bit hunt
  float bitPhase;               // samples since the last bit decision (never reset)
  std::int32_t bandwidthSelect; // 1 wide band-pass and 800 Hz low-pass, 0 narrow
  FskFilterHistory markFilter;
  FskFilterHistory spaceFilter;
  FskFilterHistory lowPass;
  std::int32_t markTone;        // tone index of the mark filter
  std::int32_t spaceTone;       // tone index of the space filter
  std::int32_t state;           // 0 resume, 1 hunting, 2 start-bit check, 3 character
  std::int32_t traceIndex;      // next trace slot
  float trace[3][kFskTraceLength];  // scaled input, mark - space, low-pass output
};

extern const double BandPassCoefficients[12][8];
extern const double LowPassCoefficients[2][8];

// Takes samples from `samples` while *count > 0, lowering *count by one for
// each. Returns 1 with a character in *character (bit 8 parity error, bit 9
// stop bit sampled as space), or 0 when the samples ran out or too few
// remain for the next step (those are then not consumed).
std::int32_t Demodulate(FskDemodulator* d, const std::int16_t* samples, std::int32_t* count,
                        std::int32_t* character);

// Demodulate, with the first `ready` samples already run through the filter
// chain by FskFilterSamples and their low-pass outputs in `levels`. Every
// one of them must be consumed by this call or by later calls with the rest.
std::int32_t DemodulateFiltered(FskDemodulator* d, const std::int16_t* samples, std::int32_t* count,
                                std::int32_t* character, const float* levels, std::int32_t ready);

// Runs samples [0, n) through the filter chain, exactly as FilterSample on
// each in turn (trace included), with the filter histories held in
// registers and the mark and space filters side by side in two lanes; each
// low-pass output goes to levels[i].
void FskFilterSamples(FskDemodulator* d, const std::int16_t* samples, std::int32_t n, float* levels);

// What FskFilterSamples changes over at most kFskMaxFilterRollback
// samples, kept so a run that filtered ahead of the state machine can be
// taken back to where the state machine stopped.
inline constexpr int kFskMaxFilterRollback = 160;
struct FskFilterCheckpoint {
  FskFilterHistory markFilter;
  FskFilterHistory spaceFilter;
  FskFilterHistory lowPass;
  std::int32_t traceIndex;
  std::int32_t ahead;  // trace slots saved
  float trace[3][kFskMaxFilterRollback];
};

// Saves the filter state and the `ahead` trace slots the next samples will
// overwrite (ahead <= kFskMaxFilterRollback).
void FskSaveFilters(const FskDemodulator* d, std::int32_t ahead, FskFilterCheckpoint* checkpoint);
void FskRestoreFilters(FskDemodulator* d, const FskFilterCheckpoint& checkpoint);

// One bit, decided near its middle: 0x80 mark, 0 space. Reads up to seven
// samples from *cursor without checking *count.
std::int32_t SampleBit(FskDemodulator* d, const std::int16_t** cursor, std::int32_t* count);

std::int32_t FilterSample(FskDemodulator* d, float x, float* output);
double MarkFilter(FskDemodulator* d, float x);
double SpaceFilter(FskDemodulator* d, float x);
double LowPass(FskDemodulator* d, float x);

}  // namespace quorvane
