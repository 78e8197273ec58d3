#include "fsk/fsk_sequence_decision.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

constexpr float kDriftRate = 1.0f / 16.0f;  // share of a new turn in the learnt drift
constexpr float kPlain = 4.0f;              // energy ratio of a bit's tone to the other's to learn from
constexpr int kPatterns = 1 << kSequenceBits;
static_assert(kSequenceDelay < 32, "the survivors' tones must fit in path");

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

// Branch metrics of the newest kSequenceBits bits, by pattern (oldest
// bit's tone in bit 0): the energy the newest bit adds to the aligned sum
// of the bits before it.
void BranchMetrics(const FskSequenceDecision& d, float (&branch)[kPatterns]) {
  constexpr int first = kSequenceHistory - kSequenceBits;
  std::complex<float> unitDrift[2][2];
  for (int from = 0; from < 2; ++from) {
    for (int to = 0; to < 2; ++to) unitDrift[from][to] = Unit(d.drift[from][to]);
  }
  // undo[j][from][to]: turns bit j+1 of the window back into bit j's phase.
  std::complex<float> undo[kSequenceBits - 1][2][2];
  for (int j = 0; j + 1 < kSequenceBits; ++j) {
    for (int from = 0; from < 2; ++from) {
      for (int to = 0; to < 2; ++to) undo[j][from][to] = Undo(unitDrift, from, to, d.boundary[first + j]);
    }
  }
  for (int p = 0; p < kPatterns; ++p) {
    int tone = p & 1;
    std::complex<float> older = d.correlation[first][tone];
    std::complex<float> align{1.0f, 0.0f};
    for (int j = 1; j + 1 < kSequenceBits; ++j) {
      const int next = (p >> j) & 1;
      align = Times(align, undo[j - 1][tone][next]);
      older += Times(d.correlation[first + j][next], align);
      tone = next;
    }
    const int newest = p >> (kSequenceBits - 1);
    align = Times(align, undo[kSequenceBits - 2][tone][newest]);
    const std::complex<float> sum = older + Times(d.correlation[kSequenceHistory - 1][newest], align);
    branch[p] = std::norm(sum) - std::norm(older);
  }
}

}  // namespace

void FskSequenceInit(FskSequenceDecision& d) {
  d = FskSequenceDecision{};
  for (auto& row : d.drift) row[0] = row[1] = {1.0f, 0.0f};
  d.previousMark = true;
}

FskSequenceBit FskSequencePush(FskSequenceDecision& d, std::complex<float> mark, std::complex<float> space,
                               std::complex<float> boundary, bool signal) {
  constexpr int last = kSequenceHistory - 1;
  for (int j = 0; j < last; ++j) {
    d.correlation[j][0] = d.correlation[j + 1][0];
    d.correlation[j][1] = d.correlation[j + 1][1];
    d.boundary[j] = d.boundary[j + 1];
    d.signal[j] = d.signal[j + 1];
  }
  d.correlation[last][0] = mark;
  d.correlation[last][1] = space;
  d.boundary[last] = boundary;
  d.signal[last] = signal;

  float branch[kPatterns];
  BranchMetrics(d, branch);
  // A state holds the tones of the newest kSequenceBits-1 bits, oldest in
  // bit 0; it is reached from the two states that differ in the bit before.
  float score[kSequenceStates];
  std::uint32_t path[kSequenceStates];
  int best = 0;
  for (int s = 0; s < kSequenceStates; ++s) {
    const int pattern = s << 1;
    const int from0 = pattern & (kSequenceStates - 1), from1 = (pattern | 1) & (kSequenceStates - 1);
    const float via0 = d.score[from0] + branch[pattern], via1 = d.score[from1] + branch[pattern | 1];
    const int from = via1 > via0 ? from1 : from0;
    score[s] = std::max(via0, via1);
    path[s] = (d.path[from] << 1) | static_cast<std::uint32_t>(s >> (kSequenceBits - 2));
    if (score[s] > score[best]) best = s;
  }
  for (int s = 0; s < kSequenceStates; ++s) {
    d.score[s] = score[s] - score[best];  // kept near zero so float keeps its precision
    d.path[s] = path[s];
  }

  // The decided bit and the one decided before it teach the drift.
  constexpr int m = last - kSequenceDelay;
  FskSequenceBit out{((path[best] >> kSequenceDelay) & 1u) == 0, {}};
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
