// DTMF detection with eight Goertzel resonators over 102-sample blocks.
#pragma once

#include <cstdint>

#include "dtmf/keys.h"

namespace quorvane {

// Flag for DtmfDetect: leave the caller's samples and tone flag untouched.
inline constexpr int DTMF_KEEP_SAMPLES = 0x100;

inline constexpr int kDtmfBlockSize = 102;
inline constexpr int kDtmfMaxStoredDigits = 128;


struct DtmfResonator {
  float older;  // output two samples back
  float newer;  // output one sample back
  float coef;   // 2 cos(2 pi f / 8000), fixed at init
};

struct DtmfDetector {
  DtmfResonator row[4];        // 697, 770, 852, 941 Hz
  DtmfResonator col[4];        // 1209, 1336, 1477, 1633 Hz
  std::int32_t history[4];     // last four block results, oldest first
  std::int32_t heldDigit;      // admitted digit still sounding, else 0
  float blockEnergy;           // sum of squared samples of the open block
  std::int32_t blockFill;      // samples of the open block so far, 0..101
  char digits[kDtmfMaxStoredDigits + 1];  // stored digits, 0-terminated
  std::int32_t digitCount;     // digits stored, 0..128
  std::int32_t totalDigits;    // digits admitted, stored or not
  std::int32_t overflowCount;  // admitted but not stored (store was full)
  std::int32_t keyHits[16];    // admissions per key, row * 4 + column
  std::int32_t lastDigit;      // newest stored digit; consumer resets to 0
};

void DtmfDetectorInit(DtmfDetector* detector);

// Runs `count` samples through the detector, cutting 102-sample blocks
// across calls. Without DTMF_KEEP_SAMPLES in `flags`, samples of tone blocks
// are zeroed in place and *toneFlag set to 1. Returns the held digit or 0.
std::int32_t DtmfDetect(DtmfDetector* detector, std::int16_t* samples, std::int32_t count,
                        std::int32_t flags, std::int32_t* toneFlag);

// The block decision on the detector's current resonator state and energy,
// exposed so the thresholds can be checked on chosen states: the digit code
// the block carries, or 0.
std::int32_t DtmfBlockResult(const DtmfDetector* detector, int* rowIndex, int* colIndex);

}  // namespace quorvane
