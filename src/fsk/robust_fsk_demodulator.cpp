#include "fsk/robust_fsk_demodulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace quorvane {
namespace {

constexpr double kBitStep = 1200.0 / 8000.0;  // clock advance per sample, in bits
constexpr double kTrackGain = 0.25;           // share of a timing error corrected at each crossing
constexpr double kTrackLimit = 0.4;           // crossings further off than this are noise while locked
constexpr int kReacquireBits = 12;            // after this much steady tone the next crossing sets the clock
constexpr float kTableScale = 4096.0f;        // Q12 references
// A tone of peak 30 (about -57.6 dBm0) fills a window's correlator to this
// energy; below it the line counts as silent and the bits as mark.
constexpr float kMinEnergy = (30.0f * kRobustWindow * kTableScale / 2.0f) * (30.0f * kRobustWindow * kTableScale / 2.0f);
// Converts a correlator energy to the squared peak of the tone behind it.
constexpr float kEnergyToAmplitudeSquared = 4.0f / ((kRobustWindow * kTableScale) * (kRobustWindow * kTableScale));

void Tones(TonePlan plan, double& mark, double& space) {
  switch (plan) {
    case TonePlan::Bell202: mark = 1200.0; space = 2200.0; return;
    case TonePlan::V23: mark = 1300.0; space = 2100.0; return;
    case TonePlan::Auto: mark = 1250.0; space = 2150.0; return;
  }
}

// The correlator's complex value C = sum x e^{-jwn} from its I and Q sums.
std::complex<double> Correlation(const std::int32_t* s, int tone) {
  return {static_cast<double>(s[2 * tone]), -static_cast<double>(s[2 * tone + 1])};
}

void AddBit(RobustFskDemodulator& d, float soft, float markEnergy, float spaceEnergy) {
  RobustFskCharacter& c = d.current;
  const float total = markEnergy + spaceEnergy;
  if (total < kMinEnergy) return;
  c.clarity += std::min(1.0f, std::fabs(soft) / total);
  c.amplitudeSquared += std::max(markEnergy, spaceEnergy) * kEnergyToAmplitudeSquared;
}

// Within a run of three bits of one tone the window and the one before it
// hold only that tone, so their phase difference is its offset from the
// reference.
void AddTurn(RobustFskDemodulator& d, int slot) {
  const unsigned run = d.recentBits & 7u;
  if (run != 0u && run != 7u) return;
  const int tone = run == 7u ? 0 : 1;
  const std::complex<double> turn = Correlation(d.sums, tone) * std::conj(Correlation(d.laggedSums[slot], tone));
  (tone == 0 ? d.current.markTurn : d.current.spaceTurn) += turn;
}

// One bit taken by the clock; true when it finished a character.
bool TakeBit(RobustFskDemodulator& d, float soft, float markEnergy, float spaceEnergy, int slot) {
  const bool signal = markEnergy + spaceEnergy >= kMinEnergy;
  const bool mark = !signal || soft > 0.0f;
  d.recentBits = (d.recentBits << 1) | (mark ? 1u : 0u);
  if (signal) {
    d.averageSwing += (std::fabs(soft) - d.averageSwing) * (1.0f / 16.0f);
    AddTurn(d, slot);
  }
  d.bitsSinceCrossing = std::min(d.bitsSinceCrossing + 1, 1000);
  if (d.bitIndex == 0) {
    if (mark) {
      d.idleBits = std::min(d.idleBits + 1, 1000);
      return false;
    }
    const std::complex<double> markTurn = d.current.markTurn, spaceTurn = d.current.spaceTurn;
    d.current = RobustFskCharacter{};
    d.current.markTurn = markTurn;
    d.current.spaceTurn = spaceTurn;
    d.current.idleBitsBefore = d.idleBits;
    // The clock takes a bit as the window closes on its end.
    d.current.startSample = d.sample - 7;
    d.shift = 0;
    d.bitIndex = 1;
    AddBit(d, soft, markEnergy, spaceEnergy);
    return false;
  }
  AddBit(d, soft, markEnergy, spaceEnergy);
  if (d.bitIndex <= 8) {
    if (mark) d.shift |= 1u << (d.bitIndex - 1);
    ++d.bitIndex;
    return false;
  }
  RobustFskCharacter& c = d.current;
  c.value = static_cast<std::uint8_t>(d.shift);
  c.stopBitIsMark = mark;
  c.endSample = d.sample;
  c.clarity /= 10.0f;
  c.amplitudeSquared /= 10.0f;
  d.bitIndex = 0;
  d.idleBits = 0;
  return true;
}

// The next character's turns start from nothing.
void StartTurns(RobustFskDemodulator& d) {
  d.current.markTurn = {};
  d.current.spaceTurn = {};
}

}  // namespace

void RobustFskInit(RobustFskDemodulator& d, TonePlan plan) {
  d = RobustFskDemodulator{};
  d.plan = plan;
  double hz[2] = {0.0, 0.0};
  Tones(plan, hz[0], hz[1]);
  for (int tone = 0; tone < 2; ++tone) {
    for (int i = 0; i < kRobustTablePeriod; ++i) {
      const double angle = 2.0 * std::numbers::pi * hz[tone] * i / 8000.0;
      d.cosTable[tone][i] = static_cast<std::int16_t>(std::lround(kTableScale * std::cos(angle)));
      d.sinTable[tone][i] = static_cast<std::int16_t>(std::lround(kTableScale * std::sin(angle)));
    }
  }
  d.bitsSinceCrossing = kReacquireBits + 1;
}

int RobustFskDemodulate(RobustFskDemodulator& d, const std::int16_t* samples, int count,
                        RobustFskCharacter* out, int capacity) {
  int produced = 0;
  for (int i = 0; i < count; ++i) {
    const std::int32_t x = samples[i];
    const int t = d.tableIndex;
    const int r = d.ringIndex;
    const std::int32_t p0 = x * d.cosTable[0][t], p1 = x * d.sinTable[0][t];
    const std::int32_t p2 = x * d.cosTable[1][t], p3 = x * d.sinTable[1][t];
    d.sums[0] += p0 - d.products[0][r];
    d.sums[1] += p1 - d.products[1][r];
    d.sums[2] += p2 - d.products[2][r];
    d.sums[3] += p3 - d.products[3][r];
    d.products[0][r] = p0;
    d.products[1][r] = p1;
    d.products[2][r] = p2;
    d.products[3][r] = p3;
    d.tableIndex = t + 1 == kRobustTablePeriod ? 0 : t + 1;
    ++d.sample;

    const float mi = static_cast<float>(d.sums[0]), mq = static_cast<float>(d.sums[1]);
    const float si = static_cast<float>(d.sums[2]), sq = static_cast<float>(d.sums[3]);
    const float markEnergy = mi * mi + mq * mq;
    const float spaceEnergy = si * si + sq * sq;
    const float soft = markEnergy - spaceEnergy;
    const float before = d.previousSoft;
    d.previousSoft = soft;

    // A crossing of the soft bit is a bit boundary: it should fall half a
    // bit from the clock's instants.
    double correction = 0.0;
    if ((soft > 0.0f) != (before > 0.0f) && markEnergy + spaceEnergy >= kMinEnergy &&
        std::fabs(soft - before) > 0.25f * d.averageSwing) {
      const double fraction = before / (before - soft);
      double error = d.bitPhase + kBitStep * fraction - 0.5;
      if (error >= 0.5) error -= 1.0;
      if (d.bitsSinceCrossing > kReacquireBits) {
        correction = error;
        d.bitsSinceCrossing = 0;
      } else if (std::fabs(error) < kTrackLimit) {
        correction = kTrackGain * error;
        d.bitsSinceCrossing = 0;
      }
    }
    double next = std::max(0.0, d.bitPhase + kBitStep - correction);
    if (next >= 1.0) {
      // Interpolate the soft bit at the instant between the two samples.
      const double at = (1.0 - d.bitPhase) / (next - d.bitPhase);
      const float softAt = before + static_cast<float>(at) * (soft - before);
      if (TakeBit(d, softAt, markEnergy, spaceEnergy, r)) {
        if (produced < capacity) out[produced++] = d.current;
        StartTurns(d);
      }
      next -= 1.0;
    }
    d.bitPhase = next;
    std::memcpy(d.laggedSums[r], d.sums, sizeof d.sums);
    d.ringIndex = r + 1 == kRobustWindow ? 0 : r + 1;
  }
  return produced;
}

TonePlan EstimateTonePlan(std::complex<double> markTurn, std::complex<double> spaceTurn) {
  // Against the midway references a Bell 202 mark turns backwards and its
  // space forwards; V.23 the other way round.
  if (std::abs(markTurn) > 0.0 && std::abs(spaceTurn) > 0.0) {
    return std::arg(spaceTurn * std::conj(markTurn)) > 0.0 ? TonePlan::Bell202 : TonePlan::V23;
  }
  if (std::abs(markTurn) > 0.0) return std::arg(markTurn) < 0.0 ? TonePlan::Bell202 : TonePlan::V23;
  return std::arg(spaceTurn) > 0.0 ? TonePlan::Bell202 : TonePlan::V23;
}

}  // namespace quorvane
