#include "callerid/robust/fsk_sequence_decision.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

constexpr float kDriftRate = 1.0f / 16.0f;  // share of a new turn in the learnt drift
constexpr float kPlain = 4.0f;              // energy ratio of a bit's tone to the other's to learn from
constexpr int kSpaceDriftPairs = 8;         // pairs of space bits that teach the space drift enough
constexpr int kMarkToSpaceChanges = 16;     // changes from mark to space that teach that turn enough
constexpr int kLessonsAveraged = 256;       // Coherent: lessons in its turns' average at most
constexpr int kLessonsAfterForgetting = 8;  // ... weight left to a change turn when the edge cycle is forgotten
constexpr int kRecallChanges = 6;           // changes of tone that choose the rotation of the turns recalled
constexpr int kPatterns = 1 << kSequenceBits;
// Where in the history the boundary before the bit being decided lies.
constexpr int kLessonBoundary = kSequenceHistory - 2 - kSequenceDelay;
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

using UnitTurns = FskSequenceDecision::UnitTurns;

// The bits of staleTurns: drift[from][to], then change[from][place].
constexpr std::uint32_t DriftBit(int from, int to) { return 1u << (2 * from + to); }
constexpr std::uint32_t ChangeBit(int from, int place) { return 1u << (4 + kEdgeCycle * from + place); }
constexpr std::uint32_t kDriftBits = 0xFu;
constexpr std::uint32_t kChangeBits = ((1u << (2 * kEdgeCycle)) - 1u) << 4;
constexpr std::uint32_t kAllTurns = kDriftBits | kChangeBits;

// What undoes the turn expected from a bit of tone `from` to one of tone
// `to` across a boundary with phasor `b` at `place` in the edge cycle
// (tone 0 mark, 1 space).
std::complex<float> Undo(const UnitTurns& turns, int from, int to, std::complex<float> b, int place) {
  if (from == to) return std::conj(turns.drift[from][to]);
  return std::conj(Times(from == 0 ? b : std::conj(b), turns.change[from][place]));
}

// Space runs come late in a burst (the channel seizure alternates its
// tones), so the space drift is taken from the other three (the two
// changes of tone turn by as much as a bit of each tone together): always
// by the decisions that carry a reference, and by Window until it has
// learnt the drift from kSpaceDriftPairs pairs of space bits. A tone well
// off its reference turns a bit by nearly half a radian, too much to leave
// unlearnt.
// Only the turns in `stale` are made again; the rest are as they were.
void MakeUnitTurns(const FskSequenceDecision& d, std::uint32_t stale, UnitTurns& turns) {
  for (int from = 0; from < 2; ++from) {
    for (int to = 0; to < 2; ++to) {
      if (stale & DriftBit(from, to)) turns.drift[from][to] = Unit(d.drift[from][to]);
    }
    for (int place = 0; place < kEdgeCycle; ++place) {
      if (stale & ChangeBit(from, place)) turns.change[from][place] = Unit(d.change[from][place]);
    }
  }
  if ((stale & kDriftBits) != 0 && (d.kind != FskSequenceKind::Window || d.spaceDriftPairs < kSpaceDriftPairs)) {
    turns.drift[1][1] = Unit(Times(Times(turns.drift[0][1], turns.drift[1][0]), std::conj(turns.drift[0][0])));
  }
}

// Window branch metrics of the newest kSequenceBits bits, by pattern
// (oldest bit's tone in bit 0).
void WindowMetrics(const FskSequenceHistory& h, const UnitTurns& turns,
                   float (&branch)[kPatterns]) {
  constexpr int first = kSequenceHistory - kSequenceBits;
  // undo[j][from][to]: turns bit j+1 of the window back into bit j's phase.
  std::complex<float> undo[kSequenceBits - 1][2][2];
  for (int j = 0; j + 1 < kSequenceBits; ++j) {
    for (int from = 0; from < 2; ++from) {
      for (int to = 0; to < 2; ++to) undo[j][from][to] = Undo(turns, from, to, h.boundary[first + j], h.cycle[first + j]);
    }
  }
  // The window's older bits as prefixes grown one bit at a time, oldest
  // bit first: a prefix's aligned sum and the turn that aligned its newest
  // bit. Patterns that share their older bits share that work.
  constexpr int kPrefixes = kPatterns / 2;
  std::complex<float> older[kPrefixes], align[kPrefixes];
  for (int tone = 0; tone < 2; ++tone) {
    older[tone] = h.correlation[first][tone];
    align[tone] = {1.0f, 0.0f};
  }
  for (int j = 1, count = 2; j + 1 < kSequenceBits; ++j, count *= 2) {
    for (int p = 0; p < count; ++p) {
      const int tone = (p >> (j - 1)) & 1;
      // Bit j of the pattern: the space extension goes above the prefixes
      // so far, the mark one takes the prefix's own place.
      for (int next = 1; next >= 0; --next) {
        const std::complex<float> turned = Times(align[p], undo[j - 1][tone][next]);
        older[p + next * count] = older[p] + Times(h.correlation[first + j][next], turned);
        align[p + next * count] = turned;
      }
    }
  }
  for (int p = 0; p < kPrefixes; ++p) {
    const int tone = p >> (kSequenceBits - 2);
    for (int newest = 0; newest < 2; ++newest) {
      const std::complex<float> turned = Times(align[p], undo[kSequenceBits - 2][tone][newest]);
      const std::complex<float> sum = older[p] + Times(h.correlation[kSequenceHistory - 1][newest], turned);
      branch[p | newest << (kSequenceBits - 1)] = std::norm(sum) - std::norm(older[p]);
    }
  }
}

// Share of a sequence's reference kept from one bit to the next.
constexpr float kReferenceFade = 0.25f;
constexpr float kCoherentFade = 0.75f;

// The newest bit, as tone `to` after tone `from`, turned into the previous
// bit's phase.
struct ReferenceCandidates {
  std::complex<float> undo[2][2];      // [from][to]
  std::complex<float> turned[2][2];
  float energy[2];                     // |C|^2 of the newest bit per tone
  float length[kSequenceStates];       // Coherent: |R| of each state's reference
};

// The boundary phasors decision `d` goes by.
const std::complex<float>* Boundaries(const FskSequenceDecision& d, const FskSequenceHistory& h) {
  return d.kind == FskSequenceKind::Coherent ? h.lineBoundary : h.boundary;
}

// The turn `seen` (a bit's correlation times the conjugate of the one
// before) shows once the boundary `b` between them is taken out.
std::complex<float> TurnSeen(std::complex<float> seen, int from, int to, std::complex<float> b) {
  if (from == to) return Unit(seen);
  return Unit(Times(seen, from == 0 ? std::conj(b) : b));
}

void PrepareReference(const FskSequenceDecision& d, const FskSequenceHistory& h, const UnitTurns& turns,
                      ReferenceCandidates& c) {
  constexpr int last = kSequenceHistory - 1;
  const std::complex<float> boundary = Boundaries(d, h)[last - 1];
  for (int to = 0; to < 2; ++to) c.energy[to] = std::norm(h.correlation[last][to]);
  for (int from = 0; from < 2; ++from) {
    for (int to = 0; to < 2; ++to) {
      c.undo[from][to] = Undo(turns, from, to, boundary, h.cycle[last - 1]);
      c.turned[from][to] = Times(h.correlation[last][to], c.undo[from][to]);
    }
  }
  // Each state's reference is met by two branches.
  if (d.kind == FskSequenceKind::Coherent) {
    for (int s = 0; s < kSequenceStates; ++s) c.length[s] = std::sqrt(std::norm(d.reference[s]));
  }
}

// The branch from state `from` with the newest bit of tone `to`: for
// Reference |R + C|^2 - |R|^2, for Coherent the length of C along R.
float ReferenceBranch(const FskSequenceDecision& d, const ReferenceCandidates& c, int from, int to) {
  const int tone = from >> (kSequenceBits - 2);
  const std::complex<float> r = d.reference[from];
  const std::complex<float> turned = c.turned[tone][to];
  const float along = turned.real() * r.real() + turned.imag() * r.imag();
  if (d.kind == FskSequenceKind::Coherent) return c.length[from] > 0.0f ? along / c.length[from] : 0.0f;
  return c.energy[to] + 2.0f * along;
}

// The reference that branch leaves, in the newest bit's phase; only the
// branch kept needs it.
std::complex<float> NextReference(const FskSequenceDecision& d, const ReferenceCandidates& c, int from, int to) {
  const int tone = from >> (kSequenceBits - 2);
  const std::complex<float> r = d.reference[from];
  const std::complex<float> turned = c.turned[tone][to];
  if (d.kind == FskSequenceKind::Coherent) return Times(r * kCoherentFade + turned, std::conj(c.undo[tone][to]));
  return Times(r + turned, std::conj(c.undo[tone][to])) * kReferenceFade;
}

// Counts a turn learnt from tone `from` to tone `to` (across a change of
// tone at `place` in the edge cycle) where it matters.
void CountLesson(FskSequenceDecision& d, int from, int to, int place) {
  d.staleTurns |= DriftBit(from, to) | (from != to ? ChangeBit(from, place) : 0u);
  if (from == 1 && to == 1) d.spaceDriftPairs = std::min(d.spaceDriftPairs + 1, kSpaceDriftPairs);
  if (from == 0 && to == 1) d.markToSpaceChanges = std::min(d.markToSpaceChanges + 1, kMarkToSpaceChanges);
}

}  // namespace

void FskSequenceInit(FskSequenceDecision& d, FskSequenceKind kind) {
  d = FskSequenceDecision{};
  d.kind = kind;
  for (auto& row : d.drift) row[0] = row[1] = {1.0f, 0.0f};
  for (auto& row : d.change) std::fill(std::begin(row), std::end(row), std::complex<float>{1.0f, 0.0f});
  d.previousMark = true;
  d.staleTurns = kAllTurns;
}

void FskSequencePush(FskSequenceHistory& h, std::complex<float> mark, std::complex<float> space,
                     std::complex<float> boundary, std::complex<float> lineBoundary, bool signal) {
  // Once every bit held is silent the history already shows silence.
  h.silentBits = signal ? 0 : std::min(h.silentBits + 1, kSequenceHistory + 1);
  if (h.silentBits > kSequenceHistory) return;
  constexpr int last = kSequenceHistory - 1;
  for (int j = 0; j < last; ++j) {
    h.correlation[j][0] = h.correlation[j + 1][0];
    h.correlation[j][1] = h.correlation[j + 1][1];
    h.boundary[j] = h.boundary[j + 1];
    h.lineBoundary[j] = h.lineBoundary[j + 1];
    h.cycle[j] = h.cycle[j + 1];
    h.signal[j] = h.signal[j + 1];
  }
  h.correlation[last][0] = mark;
  h.correlation[last][1] = space;
  h.boundary[last] = boundary;
  h.lineBoundary[last] = lineBoundary;
  h.cycle[last] = h.nextCycle;
  h.nextCycle = h.nextCycle + 1 == kEdgeCycle ? 0 : h.nextCycle + 1;
  h.signal[last] = signal;
}

namespace {

// Takes a change of tone from `from` at `place` that turned by `turn`
// into the recall, and once enough changes have told which rotation of the
// turns recalled fits them best, takes those turns back, unless the
// averages fit better (another sender, or one whose edges keep no pattern).
void Recall(FskSequenceDecision& d, int from, int place, std::complex<float> turn) {
  FskSequenceDecision::Recall& recall = d.recall;
  if (recall.changesLeft == 0) return;
  // Mark to space and space to mark turn opposite ways with the edges.
  auto along = [&](std::complex<float> expected) {
    const std::complex<float> z = Times(turn, std::conj(Unit(expected)));
    return from == 0 ? z : std::conj(z);
  };
  for (int r = 0; r < kEdgeCycle; ++r) recall.fit[r] += along(recall.turns[from][(place + r) % kEdgeCycle]);
  recall.fit[kEdgeCycle] += along(d.drift[from][1 - from]);
  if (--recall.changesLeft > 0) return;
  int best = kEdgeCycle;
  for (int r = 0; r < kEdgeCycle; ++r) best = std::norm(recall.fit[r]) > std::norm(recall.fit[best]) ? r : best;
  if (best == kEdgeCycle) return;
  d.staleTurns |= kChangeBits;
  for (int f = 0; f < 2; ++f) {
    for (int p = 0; p < kEdgeCycle; ++p) {
      d.change[f][p] = recall.turns[f][(p + best) % kEdgeCycle];
      d.changeLessonsLearnt[f][p] = recall.lessons[f][(p + best) % kEdgeCycle];
    }
  }
}

}  // namespace

void FskSequenceForgetEdgeCycle(FskSequenceDecision& d) {
  // Forgotten again before the recall decided: the turns to recall are
  // still the ones learnt before the first forgetting.
  const bool pending = d.recall.changesLeft > 0;
  d.staleTurns |= kChangeBits;
  std::fill(std::begin(d.recall.fit), std::end(d.recall.fit), std::complex<float>{});
  d.recall.changesLeft = kRecallChanges;
  for (int from = 0; from < 2; ++from) {
    if (!pending) {
      std::copy(std::begin(d.change[from]), std::end(d.change[from]), std::begin(d.recall.turns[from]));
      std::copy(std::begin(d.changeLessonsLearnt[from]), std::end(d.changeLessonsLearnt[from]),
                std::begin(d.recall.lessons[from]));
    }
    std::fill(std::begin(d.change[from]), std::end(d.change[from]), d.drift[from][1 - from]);
    for (int& learnt : d.changeLessonsLearnt[from]) learnt = std::min(learnt, kLessonsAfterForgetting);
  }
}

void FskSequenceFollow(FskSequenceDecision& d, const FskSequenceDecision& teacher, const FskSequenceHistory& h) {
  const FskSequenceDecision::Lesson& lesson = teacher.lesson;
  if (!lesson.given) return;
  const std::complex<float> turn = TurnSeen(lesson.seen, lesson.from, lesson.to, Boundaries(d, h)[kLessonBoundary]);
  auto average = [&](std::complex<float>& learnt, int& lessons) {
    lessons = std::min(lessons + 1, kLessonsAveraged);
    learnt += (turn - learnt) * (1.0f / static_cast<float>(lessons));
  };
  average(d.drift[lesson.from][lesson.to], d.lessonsLearnt[lesson.from][lesson.to]);
  CountLesson(d, lesson.from, lesson.to, lesson.place);
  if (lesson.from != lesson.to) {
    average(d.change[lesson.from][lesson.place], d.changeLessonsLearnt[lesson.from][lesson.place]);
    Recall(d, lesson.from, lesson.place, turn);
  }
}

bool FskSequenceMarkToSpaceTurn(const FskSequenceDecision& d, std::complex<float>& turn) {
  if (d.markToSpaceChanges < kMarkToSpaceChanges) return false;
  turn = Unit(d.drift[0][1]);
  return true;
}

FskSequenceBit FskSequenceDecide(FskSequenceDecision& d, const FskSequenceHistory& h) {
  d.lesson.given = false;
  // With every bit held silent there is nothing to decide; the search
  // starts afresh with the tone.
  if (h.silentBits > kSequenceHistory) {
    d.previousMark = true;
    return {true, {}};
  }
  // Silence through the whole history ends whatever sounded: the next
  // burst is learnt from nothing. Turns learnt from speech or music before
  // it can be so far off that a clean mark scores best as alternating
  // tones, and the bits it then decides never teach them back.
  if (h.silentBits == kSequenceHistory) FskSequenceInit(d, d.kind);
  if (d.staleTurns != 0) {
    MakeUnitTurns(d, d.staleTurns, d.unitTurns);
    d.staleTurns = 0;
  }
  const UnitTurns& turns = d.unitTurns;
  float window[kPatterns];
  ReferenceCandidates candidates;
  if (d.kind == FskSequenceKind::Window) {
    WindowMetrics(h, turns, window);
  } else {
    PrepareReference(d, h, turns, candidates);
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
    float via0 = d.score[from0], via1 = d.score[from1];
    if (d.kind == FskSequenceKind::Window) {
      via0 += window[pattern];
      via1 += window[pattern | 1];
    } else {
      via0 += ReferenceBranch(d, candidates, from0, tone);
      via1 += ReferenceBranch(d, candidates, from1, tone);
    }
    const bool second = via1 > via0;
    const int from = second ? from1 : from0;
    score[s] = second ? via1 : via0;
    path[s] = (d.path[from] << 1) | static_cast<std::uint32_t>(tone);
    reference[s] = d.kind == FskSequenceKind::Window ? std::complex<float>{} : NextReference(d, candidates, from, tone);
    best = score[s] > score[best] ? s : best;
  }
  for (int s = 0; s < kSequenceStates; ++s) {
    d.score[s] = score[s] - score[best];  // kept near zero so float keeps its precision
    d.path[s] = path[s];
    d.reference[s] = reference[s];
  }

  // The decided bit and the one decided before it teach the drift.
  constexpr int m = kLessonBoundary + 1;
  FskSequenceBit out{((path[best] >> kSequenceDelay) & 1u) == 0, {}};
  const int from = d.previousMark ? 0 : 1, to = out.mark ? 0 : 1;
  // Only bits that plainly hold their tone teach it: noise before a burst
  // would otherwise leave a drift no run of that tone has corrected yet.
  const bool plain = h.signal[m] && h.signal[m - 1] &&
                     std::norm(h.correlation[m][to]) > kPlain * std::norm(h.correlation[m][1 - to]) &&
                     std::norm(h.correlation[m - 1][from]) > kPlain * std::norm(h.correlation[m - 1][1 - from]);
  if (plain) {
    const std::complex<float> raw = Times(h.correlation[m][to], std::conj(h.correlation[m - 1][from]));
    d.lesson = {true, from, to, h.cycle[m - 1], raw};
    if (d.kind != FskSequenceKind::Coherent) {
      const std::complex<float> turn = TurnSeen(raw, from, to, Boundaries(d, h)[m - 1]);
      d.drift[from][to] += (turn - d.drift[from][to]) * kDriftRate;
      if (from != to) {
        std::complex<float>& change = d.change[from][h.cycle[m - 1]];
        change += (turn - change) * kDriftRate;
        Recall(d, from, h.cycle[m - 1], turn);
      }
      CountLesson(d, from, to, h.cycle[m - 1]);
    }
    if (from == to) out.turn = raw;
  }
  d.previousMark = out.mark;
  return out;
}

}  // namespace quorvane
