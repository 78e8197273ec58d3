#include "fsk/fsk_sequence_decision.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

constexpr float kDriftRate = 1.0f / 16.0f;  // share of a new turn in the learnt drift
constexpr float kPlain = 4.0f;              // energy ratio of a bit's tone to the other's to learn from
constexpr int kPatterns = 1 << kSequenceBits;

// a*b without the infinity and NaN recovery of std::complex's operator*,
// which would cost as much as the rest of the decision.
std::complex<float> Times(std::complex<float> a, std::complex<float> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// z scaled to length 1 (std::abs would go through the slow hypot).
std::complex<float> Unit(std::complex<float> z) {
  const float m = std::norm(z);
  return m > 0.0f ? z * (1.0f / std::sqrt(m)) : std::complex<float>{1.0f, 0.0f};
}

// What undoes the turn expected from a bit of tone `from` to one of tone
// `to` across a boundary with phasor `b` (tone 0 mark, 1 space).
std::complex<float> Undo(const std::complex<float> (&unitDrift)[2][2], int from, int to, std::complex<float> b) {
  const std::complex<float> drift = unitDrift[from][to];
  if (from == to) return std::conj(drift);
  return std::conj((from == 0 ? b : std::conj(b)) * drift);
}

}  // namespace

void FskSequenceInit(FskSequenceDecision& d) {
  d = FskSequenceDecision{};
  for (auto& row : d.drift) row[0] = row[1] = {1.0f, 0.0f};
  d.previousMark = true;
}

FskSequenceBit FskSequencePush(FskSequenceDecision& d, std::complex<float> mark, std::complex<float> space,
                               std::complex<float> boundary, bool signal) {
  for (int j = 0; j + 1 < kSequenceBits; ++j) {
    d.correlation[j][0] = d.correlation[j + 1][0];
    d.correlation[j][1] = d.correlation[j + 1][1];
    d.boundary[j] = d.boundary[j + 1];
    d.signal[j] = d.signal[j + 1];
  }
  constexpr int last = kSequenceBits - 1;
  d.correlation[last][0] = mark;
  d.correlation[last][1] = space;
  d.boundary[last] = boundary;
  d.signal[last] = signal;

  // undo[j][from][to]: turns bit j+1 back into bit j's phase.
  std::complex<float> unitDrift[2][2];
  for (int from = 0; from < 2; ++from) {
    for (int to = 0; to < 2; ++to) unitDrift[from][to] = Unit(d.drift[from][to]);
  }
  std::complex<float> undo[kSequenceBits - 1][2][2];
  for (int j = 0; j < last; ++j) {
    for (int from = 0; from < 2; ++from) {
      for (int to = 0; to < 2; ++to) undo[j][from][to] = Undo(unitDrift, from, to, d.boundary[j]);
    }
  }
  float best[2] = {0.0f, 0.0f};  // by the middle bit's tone
  for (int p = 0; p < kPatterns; ++p) {
    int tone = p & 1;
    std::complex<float> sum = d.correlation[0][tone];
    std::complex<float> align{1.0f, 0.0f};
    for (int j = 1; j < kSequenceBits; ++j) {
      const int next = (p >> j) & 1;
      align = Times(align, undo[j - 1][tone][next]);
      sum += Times(d.correlation[j][next], align);
      tone = next;
    }
    const int middle = (p >> kSequenceDelay) & 1;
    best[middle] = std::max(best[middle], std::norm(sum));
  }

  // The middle bit and the one decided before it teach the drift.
  constexpr int m = kSequenceDelay;
  FskSequenceBit out{best[0] >= best[1], {}};
  const int from = d.previousMark ? 0 : 1, to = out.mark ? 0 : 1;
  // Only bits that plainly hold their tone teach it: noise before a burst
  // would otherwise leave a drift no run of that tone has corrected yet.
  const bool plain = d.signal[m] && d.signal[m - 1] &&
                     std::norm(d.correlation[m][to]) > kPlain * std::norm(d.correlation[m][1 - to]) &&
                     std::norm(d.correlation[m - 1][from]) > kPlain * std::norm(d.correlation[m - 1][1 - from]);
  if (plain) {
    const std::complex<float> raw = d.correlation[m][to] * std::conj(d.correlation[m - 1][from]);
    const std::complex<float> seen =
        from == to ? raw : raw * (from == 0 ? std::conj(d.boundary[m - 1]) : d.boundary[m - 1]);
    d.drift[from][to] += (Unit(seen) - d.drift[from][to]) * kDriftRate;
    if (from == to) out.turn = raw;
  }
  d.previousMark = out.mark;
  return out;
}

}  // namespace quorvane
