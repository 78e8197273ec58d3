#include "dtmf/exact/dtmf_detector.h"

#include <cmath>
#include <cstring>

#include "dtmf/exact/dtmf_blocks.h"

namespace quorvane {

namespace {

// 2 pi written to eleven decimals, as the coefficients were always made.
constexpr double kTwoPi = 6.28318530718;
constexpr double kSamplePeriod = 0.000125;

float ResonatorCoef(float freq) {
  return static_cast<float>(2.0 * std::cos(static_cast<double>(freq) * kSamplePeriod * kTwoPi));
}

float TonePower(const DtmfResonator& r) {
  const double older = r.older;
  const double newer = r.newer;
  const double coef = r.coef;
  return static_cast<float>(older * older + newer * newer - coef * newer * older);
}

// Index of the strongest of four powers; a tie keeps the lower index.
int Strongest(const float power[4]) {
  int peak = 0;
  for (int i = 1; i < 4; ++i) {
    if (power[i] > power[peak]) peak = i;
  }
  return peak;
}

// The peak must beat every other tone of its group by 6x (never itself).
bool DominatesGroup(const float power[4], int peak) {
  for (int i = 0; i < 4; ++i) {
    if (i != peak && !(static_cast<double>(power[peak]) >= 6.0 * static_cast<double>(power[i]))) {
      return false;
    }
  }
  return true;
}

void Admit(DtmfDetector* d, std::int32_t digit, int key) {
  d->heldDigit = digit;
  d->keyHits[key] += 1;
  d->totalDigits += 1;
  if (d->digitCount >= kDtmfMaxStoredDigits) {
    d->overflowCount += 1;
    return;
  }
  d->lastDigit = digit;
  d->digits[d->digitCount] = static_cast<char>(digit);
  d->digitCount += 1;
  d->digits[d->digitCount] = 0;
}

}  // namespace

void DtmfDetectorInit(DtmfDetector* detector) {
  std::memset(detector, 0, sizeof *detector);
  for (int i = 0; i < 4; ++i) {
    detector->row[i].coef = ResonatorCoef(DtmfRowFreqs[i]);
    detector->col[i].coef = ResonatorCoef(DtmfColFreqs[i]);
  }
}

// Feeds samples [0, n) of `x` into the energy sum and all eight resonators.
// Works on local copies so the loop stays in registers.
void DtmfFeedSamples(DtmfDetector* d, const std::int16_t* x, int n) {
  float older[8], newer[8], coef[8];
  for (int k = 0; k < 4; ++k) {
    older[k] = d->row[k].older;
    newer[k] = d->row[k].newer;
    coef[k] = d->row[k].coef;
    older[k + 4] = d->col[k].older;
    newer[k + 4] = d->col[k].newer;
    coef[k + 4] = d->col[k].coef;
  }
  float energy = d->blockEnergy;
  for (int i = 0; i < n; ++i) {
    const double s = x[i];
    energy = static_cast<float>(static_cast<double>(energy) + s * s);
    for (int k = 0; k < 8; ++k) {
      const double y = (static_cast<double>(coef[k]) * static_cast<double>(newer[k]) -
                        static_cast<double>(older[k])) + s;
      older[k] = newer[k];
      newer[k] = static_cast<float>(y);
    }
  }
  d->blockEnergy = energy;
  for (int k = 0; k < 4; ++k) {
    d->row[k].older = older[k];
    d->row[k].newer = newer[k];
    d->col[k].older = older[k + 4];
    d->col[k].newer = newer[k + 4];
  }
}

DtmfBlockEnd DtmfCurrentBlockEnd(const DtmfDetector* d) {
  DtmfBlockEnd block;
  for (int i = 0; i < 4; ++i) {
    block.power[i] = TonePower(d->row[i]);
    block.power[i + 4] = TonePower(d->col[i]);
  }
  block.energy = d->blockEnergy;
  return block;
}

std::int32_t DtmfDecideBlock(const DtmfBlockEnd& block, int* rowIndex, int* colIndex) {
  const float* rowPower = block.power;
  const float* colPower = block.power + 4;
  const int r = Strongest(rowPower);
  const int k = Strongest(colPower);
  *rowIndex = r;
  *colIndex = k;
  const double rowPeak = rowPower[r];
  const double colPeak = colPower[k];
  const bool tone = rowPeak >= 1e9 && colPeak >= 1e9 && colPeak < 100.0 * rowPeak &&
                    rowPeak < 100.0 * colPeak && DominatesGroup(colPower, k) &&
                    DominatesGroup(rowPower, r) &&
                    42.0 * static_cast<double>(block.energy) < rowPeak + colPeak;
  return tone ? static_cast<std::int32_t>(static_cast<signed char>(DtmfDigitMap[r * 4 + k])) : 0;
}

std::int32_t DtmfBlockResult(const DtmfDetector* d, int* rowIndex, int* colIndex) {
  return DtmfDecideBlock(DtmfCurrentBlockEnd(d), rowIndex, colIndex);
}

std::int32_t DtmfEndBlock(DtmfDetector* d, const DtmfBlockEnd& block) {
  int r = 0;
  int k = 0;
  const std::int32_t result = DtmfDecideBlock(block, &r, &k);
  std::int32_t* h = d->history;
  if (result != 0) {
    // Third block in a row with this digit, after two blocks without it.
    if (h[3] == result && h[2] == result && h[1] != result && h[0] != result) {
      Admit(d, result, r * 4 + k);
    }
  } else if (h[2] == 0) {
    // A lone result between two tone-free blocks is erased.
    h[3] = 0;
  }
  h[0] = h[1];
  h[1] = h[2];
  h[2] = h[3];
  h[3] = result;
  for (int i = 0; i < 4; ++i) {
    d->row[i].older = d->row[i].newer = 0.0f;
    d->col[i].older = d->col[i].newer = 0.0f;
  }
  d->blockEnergy = 0.0f;
  d->blockFill = 0;
  return result;
}

std::int32_t DtmfDetect(DtmfDetector* d, std::int16_t* samples, std::int32_t count,
                        std::int32_t flags, std::int32_t* toneFlag) {
  const bool clearTones = (flags & DTMF_KEEP_SAMPLES) == 0;
  std::int32_t lastResult = 0;  // result of the latest block end in this call
  std::int32_t p = 0;
  while (p < count) {
    const std::int32_t room = kDtmfBlockSize - d->blockFill;
    const std::int32_t e = count - p < room ? count : p + room;
    DtmfFeedSamples(d, samples + p, e - p);
    d->blockFill += e - p;
    if (d->blockFill >= kDtmfBlockSize) lastResult = DtmfEndBlock(d, DtmfCurrentBlockEnd(d));
    // A tone block is cleared, and so is the unfinished start of the next
    // block when it follows a tone block ended in this same call.
    if (clearTones && lastResult != 0) {
      std::memset(samples + p, 0, static_cast<std::size_t>(e - p) * sizeof *samples);
      *toneFlag = 1;
    }
    p = e;
  }
  if (d->heldDigit != 0 && d->heldDigit == lastResult) return lastResult;
  d->heldDigit = 0;
  return 0;
}

}  // namespace quorvane
