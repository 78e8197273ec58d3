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

// The learnt drifts as unit turns. Space runs come late in a burst (the
// channel seizure alternates its tones), so where the memory is long the
// space drift is taken from the other three: the two changes of tone turn
// by as much as a bit of each tone together.
void UnitDrifts(const FskSequenceDecision& d, std::complex<float> (&unitDrift)[2][2]) {
  for (int from = 0; from < 2; ++from) {
    for (int to = 0; to < 2; ++to) unitDrift[from][to] = Unit(d.drift[from][to]);
  }
  if (d.kind == FskSequenceKind::Reference) {
    unitDrift[1][1] = Unit(Times(Times(unitDrift[0][1], unitDrift[1][0]), std::conj(unitDrift[0][0])));
  }
}

// Window branch metrics of the newest kSequenceBits bits, by pattern
// (oldest bit's tone in bit 0).
void WindowMetrics(const FskSequenceHistory& h, const std::complex<float> (&unitDrift)[2][2],
                   float (&branch)[kPatterns]) {
  constexpr int first = kSequenceHistory - kSequenceBits;
  // undo[j][from][to]: turns bit j+1 of the window back into bit j's phase.
  std::complex<float> undo[kSequenceBits - 1][2][2];
  for (int j = 0; j + 1 < kSequenceBits; ++j) {
    for (int from = 0; from < 2; ++from) {
      for (int to = 0; to < 2; ++to) undo[j][from][to] = Undo(unitDrift, from, to, h.boundary[first + j]);
    }
  }
  for (int p = 0; p < kPatterns; ++p) {
    int tone = p & 1;
    std::complex<float> older = h.correlation[first][tone];
    std::complex<float> align{1.0f, 0.0f};
    for (int j = 1; j + 1 < kSequenceBits; ++j) {
      const int next = (p >> j) & 1;
      align = Times(align, undo[j - 1][tone][next]);
      older += Times(h.correlation[first + j][next], align);
      tone = next;
    }
    const int newest = p >> (kSequenceBits - 1);
    align = Times(align, undo[kSequenceBits - 2][tone][newest]);
    const std::complex<float> sum = older + Times(h.correlation[kSequenceHistory - 1][newest], align);
    branch[p] = std::norm(sum) - std::norm(older);
  }
}

constexpr float kReferenceFade = 0.7f;  // share of a sequence's reference kept from one bit to the next
constexpr float kEdgeSlip = 0.25f;      // radians a change of tone may slip (a third of a sample at 1000 Hz shift)

// The newest bit, as tone `to` after tone `from`, turned into the previous
// bit's phase: at a change of tone with each slip allowed (without a
// change the three are the same).
struct ReferenceCandidates {
  std::complex<float> undo[2][2][3];   // [from][to][slip]
  std::complex<float> turned[2][2][3];
  float energy[2];                     // |C|^2 of the newest bit per tone
};

void PrepareReference(const FskSequenceHistory& h, const std::complex<float> (&unitDrift)[2][2],
                      ReferenceCandidates& c) {
  constexpr int last = kSequenceHistory - 1;
  const std::complex<float> slip[3] = {{std::cos(kEdgeSlip), -std::sin(kEdgeSlip)},
                                       {1.0f, 0.0f},
                                       {std::cos(kEdgeSlip), std::sin(kEdgeSlip)}};
  for (int to = 0; to < 2; ++to) c.energy[to] = std::norm(h.correlation[last][to]);
  for (int from = 0; from < 2; ++from) {
    for (int to = 0; to < 2; ++to) {
      const std::complex<float> undo = Undo(unitDrift, from, to, h.boundary[last - 1]);
      for (int k = 0; k < 3; ++k) {
        c.undo[from][to][k] = from == to ? undo : Times(undo, slip[k]);
        c.turned[from][to][k] = Times(h.correlation[last][to], c.undo[from][to][k]);
      }
    }
  }
}

// The Reference branch from state `from` with the newest bit of tone `to`:
// |R + C|^2 - |R|^2 for the best slip, and the reference it leaves.
float ReferenceBranch(const FskSequenceDecision& d, const ReferenceCandidates& c, int from, int to,
                      std::complex<float>& reference) {
  const int tone = from >> (kSequenceBits - 2);
  const std::complex<float> r = d.reference[from];
  const std::complex<float>* turned = c.turned[tone][to];
  // Selected without branches: which wins is a coin toss in noise, and a
  // mispredicted branch costs more than the arithmetic.
  float cross[3];
  for (int k = 0; k < 3; ++k) cross[k] = turned[k].real() * r.real() + turned[k].imag() * r.imag();
  int best = cross[0] > cross[1] ? 0 : 1;
  best = cross[2] > cross[best] ? 2 : best;
  reference = Times(r + turned[best], std::conj(c.undo[tone][to][best])) * kReferenceFade;
  return c.energy[to] + 2.0f * cross[best];
}

}  // namespace

void FskSequenceInit(FskSequenceDecision& d, FskSequenceKind kind) {
  d = FskSequenceDecision{};
  d.kind = kind;
  for (auto& row : d.drift) row[0] = row[1] = {1.0f, 0.0f};
  d.previousMark = true;
}

void FskSequencePush(FskSequenceHistory& h, std::complex<float> mark, std::complex<float> space,
                     std::complex<float> boundary, bool signal) {
  // Once every bit held is silent the history already shows silence.
  h.silentBits = signal ? 0 : std::min(h.silentBits + 1, kSequenceHistory + 1);
  if (h.silentBits > kSequenceHistory) return;
  constexpr int last = kSequenceHistory - 1;
  for (int j = 0; j < last; ++j) {
    h.correlation[j][0] = h.correlation[j + 1][0];
    h.correlation[j][1] = h.correlation[j + 1][1];
    h.boundary[j] = h.boundary[j + 1];
    h.signal[j] = h.signal[j + 1];
  }
  h.correlation[last][0] = mark;
  h.correlation[last][1] = space;
  h.boundary[last] = boundary;
  h.signal[last] = signal;
}

FskSequenceBit FskSequenceDecide(FskSequenceDecision& d, const FskSequenceHistory& h) {
  // With every bit held silent there is nothing to decide; the search
  // starts afresh with the tone.
  if (h.silentBits > kSequenceHistory) {
    d.previousMark = true;
    return {true, {}};
  }
  if (h.silentBits == kSequenceHistory) {
    for (int s = 0; s < kSequenceStates; ++s) {
      d.score[s] = 0.0f;
      d.path[s] = 0;
      d.reference[s] = {};
    }
  }
  constexpr int last = kSequenceHistory - 1;
  std::complex<float> unitDrift[2][2];
  UnitDrifts(d, unitDrift);
  float window[kPatterns];
  ReferenceCandidates candidates;
  if (d.kind == FskSequenceKind::Window) {
    WindowMetrics(h, unitDrift, window);
  } else {
    PrepareReference(h, unitDrift, candidates);
  }
  // A state holds the tones of the newest kSequenceBits-1 bits, oldest in
  // bit 0; it is reached from the two states that differ in the bit before.
  float score[kSequenceStates];
  std::uint32_t path[kSequenceStates];
  std::complex<float> reference[kSequenceStates];
  int best = 0;
  for (int s = 0; s < kSequenceStates; ++s) {
    const int pattern = s << 1, tone = s >> (kSequenceBits - 2);
    const int from0 = pattern & (kSequenceStates - 1), from1 = (pattern | 1) & (kSequenceStates - 1);
    std::complex<float> reference0{}, reference1{};
    float via0 = d.score[from0], via1 = d.score[from1];
    if (d.kind == FskSequenceKind::Window) {
      via0 += window[pattern];
      via1 += window[pattern | 1];
    } else {
      via0 += ReferenceBranch(d, candidates, from0, tone, reference0);
      via1 += ReferenceBranch(d, candidates, from1, tone, reference1);
    }
    const bool second = via1 > via0;
    const int from = second ? from1 : from0;
    score[s] = second ? via1 : via0;
    path[s] = (d.path[from] << 1) | static_cast<std::uint32_t>(tone);
    reference[s] = {second ? reference1.real() : reference0.real(), second ? reference1.imag() : reference0.imag()};
    best = score[s] > score[best] ? s : best;
  }
  for (int s = 0; s < kSequenceStates; ++s) {
    d.score[s] = score[s] - score[best];  // kept near zero so float keeps its precision
    d.path[s] = path[s];
    d.reference[s] = reference[s];
  }

  // The decided bit and the one decided before it teach the drift.
  constexpr int m = last - kSequenceDelay;
  FskSequenceBit out{((path[best] >> kSequenceDelay) & 1u) == 0, {}};
  const int from = d.previousMark ? 0 : 1, to = out.mark ? 0 : 1;
  // Only bits that plainly hold their tone teach it: noise before a burst
  // would otherwise leave a drift no run of that tone has corrected yet.
  const bool plain = h.signal[m] && h.signal[m - 1] &&
                     std::norm(h.correlation[m][to]) > kPlain * std::norm(h.correlation[m][1 - to]) &&
                     std::norm(h.correlation[m - 1][from]) > kPlain * std::norm(h.correlation[m - 1][1 - from]);
  if (plain) {
    const std::complex<float> raw = h.correlation[m][to] * std::conj(h.correlation[m - 1][from]);
    const std::complex<float> seen =
        from == to ? raw : raw * (from == 0 ? std::conj(h.boundary[m - 1]) : h.boundary[m - 1]);
    d.drift[from][to] += (Unit(seen) - d.drift[from][to]) * kDriftRate;
    if (from == to) out.turn = raw;
  }
  d.previousMark = out.mark;
  return out;
}

}  // namespace quorvane
