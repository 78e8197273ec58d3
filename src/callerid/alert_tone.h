// The dual-tone alerting signal (2130 Hz + 2750 Hz) that announces caller
// ID to a phone already in a call. Goertzel filters over 10 ms blocks: a
// block counts when the two tones carry nearly all of its energy, neither
// far below the other; a run of such blocks long enough is one alert.
#pragma once

#include <cstdint>

namespace quorvane {

struct AlertTone {
  std::int64_t startSample;  // estimated first sample
  std::int64_t samples;      // estimated length
  double lowLevelDbm0;       // 2130 Hz tone
  double highLevelDbm0;      // 2750 Hz tone
  double levelDbm0;          // the two tones together
};

inline constexpr int kAlertBlock = 80;

struct AlertToneDetector {
  float coefficient[2];        // 2 cos(w) of each tone
  float state[2][2];           // Goertzel s[n-1], s[n-2] per tone
  float blockEnergy;           // sum of x^2 over the block so far
  int blockFill;               // samples in the block so far
  std::int64_t blockStart;     // absolute index of the block's first sample
  std::int64_t sample;         // absolute index of the next sample
  int runBlocks;               // consecutive blocks that held both tones
  std::int64_t runStart;       // first sample of that run
  double runLow, runHigh;      // summed squared peaks of each tone over the run
  float lastBlockTones;        // both tones' squared peaks in the previous block
  float leadShare;             // share of the block before the run the tones filled
};

void AlertToneInit(AlertToneDetector& d);

// A block is full: decides it; true with `alert` filled when an alert ended.
bool AlertToneEndBlock(AlertToneDetector& d, AlertTone& alert);

// Feeds `count` samples; returns true with `alert` filled when an alert
// ended within them (at most one per call of up to 800 samples). `tap(x)`
// is handed each sample on the way: another detector's recursion run in the
// same pass keeps the processor busy while each waits on its own.
template <class Tap>
bool AlertToneProcess(AlertToneDetector& d, const std::int16_t* samples, int count, AlertTone& alert, Tap&& tap) {
  bool ended = false;
  for (int i = 0; i < count; ++i) {
    const float x = samples[i];
    tap(x);
    for (int k = 0; k < 2; ++k) {
      const float s = x + d.coefficient[k] * d.state[k][0] - d.state[k][1];
      d.state[k][1] = d.state[k][0];
      d.state[k][0] = s;
    }
    d.blockEnergy += x * x;
    ++d.sample;
    if (++d.blockFill == kAlertBlock && AlertToneEndBlock(d, alert)) ended = true;
  }
  return ended;
}

}  // namespace quorvane
