#include "callerid/robust/fsk_demodulator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace quorvane {
namespace {

constexpr double kBitStep = 1200.0 / 8000.0;  // clock advance per sample, in bits
// The clock is a second-order loop: a share of each crossing's timing
// error corrects the phase, a smaller share the rate (a sender's bit rate
// may be off by a percent or so). It pulls in fast after acquiring, then
// slows down, because crossings in noise and edges rounded to a sample by
// the sender jitter by a third of a sample or more, and every jitter of the
// bit edges turns the phases the sequence decision relies on.
constexpr double kTrackGain = 0.25;           // share of a timing error corrected while pulling in
constexpr double kLockedGain = 0.08;          // ... and once settled
constexpr int kSettleCrossings = 16;          // crossings after acquiring until the clock counts as settled
constexpr double kRateGain = 0.001;           // share of a timing error taken into the rate
constexpr double kRateLimit = 0.03;           // largest rate error followed
constexpr double kTrackLimit = 0.4;           // crossings further off than this are noise while locked
constexpr double kShortestBit = 1.5;          // samples: a mark ended at a burst's edge is at least this long
// After this much steady tone the next crossing sets the clock outright.
// Through the idle mark between characters the clock, its rate learnt,
// runs on more truly than one crossing in noise could set it; after a
// mark period or between bursts it may have drifted by any amount.
constexpr int kReacquireBits = 30;
constexpr int kNoiseCrossingSamples = 3;      // a crossing back this soon after setting the clock undoes it
constexpr float kPlainSwing = 0.25f;          // share of the mean swing that makes a crossing, or a side, plain
constexpr double kPlainWithin = 6.0;          // samples after a crossing in which the soft bit must stand plain
// A pick-up that moves the clock by more than this share of a bit finds a
// sender whose characters do not keep the bit clock of its mark; the edge
// cycle the decisions learnt no longer fits them.
constexpr double kForgetShift = 0.15;
// Where the edge line holds it tells that better than the clock, which
// drifted through the mark: a start edge this many samples off the line
// (a quarter bit is 1.7) moved the sender's edges. Closer, it is noise on
// the start edge.
constexpr double kLineShift = 1.5;
constexpr float kTableScale = 4096.0f;        // Q12 references
// A tone of peak 30 (about -57.6 dBm0) fills a window's correlator to this
// energy; below it the line counts as silent and the bits as mark.
constexpr float kMinEnergy = (30.0f * kRobustWindow * kTableScale / 2.0f) * (30.0f * kRobustWindow * kTableScale / 2.0f);
// Converts a correlator energy to the squared peak of the tone behind it.
constexpr float kEnergyToAmplitudeSquared = 4.0f / ((kRobustWindow * kTableScale) * (kRobustWindow * kTableScale));

// How far the end of the bit just taken lies before the clock's instant,
// in samples. The window is centred on the bit there and the bit reaches
// 10/3 samples beyond the centre, which puts the edge about 1.7 samples
// back; the turns seen at changes of tone balance (and bursts decode best)
// with it half a sample further back, where the soft bit's crossings put it.
constexpr double kEdgeLag = 2.2;

int Slot(std::int64_t sample) { return static_cast<int>(sample & (kRobustRing - 1)); }

// Sum k over the samples after `old` up to `now`.
float Window(const std::uint64_t* now, const std::uint64_t* old, int k) {
  return static_cast<float>(static_cast<std::int64_t>(now[k] - old[k]));
}

// The decisions, Window first: the receiver counts failed messages on the
// first decision's framing. Coherent follows the turns Window learns.
constexpr FskSequenceKind kDecisionKinds[kRobustDecisions] = {FskSequenceKind::Window, FskSequenceKind::Coherent,
                                                              FskSequenceKind::Reference};
constexpr int kTeacher = 0;
constexpr int kCoherentDecision = 1;

// The correlation with tone `tone` (0 mark, 1 space) over running-sum time
// [from, to), a fractional end taking that share of its sample; both ends
// within the ring.
std::complex<float> CorrelationOver(const RobustFskDemodulator& d, double from, double to, int tone) {
  const std::uint64_t* base = d.running[Slot(static_cast<std::int64_t>(std::floor(from)) - 1)];
  const int k = 2 * tone;
  // Differences of the unsigned sums from one base, so their wrapping cancels.
  auto upTo = [&](double x) {
    const auto whole = static_cast<std::int64_t>(std::floor(x));
    const auto fraction = static_cast<float>(x - static_cast<double>(whole));
    const std::uint64_t* before = d.running[Slot(whole - 1)];
    const std::uint64_t* after = d.running[Slot(whole)];
    const float i = static_cast<float>(static_cast<std::int64_t>(before[k] - base[k])) +
                    fraction * static_cast<float>(static_cast<std::int64_t>(after[k] - before[k]));
    const float q = static_cast<float>(static_cast<std::int64_t>(before[k + 1] - base[k + 1])) +
                    fraction * static_cast<float>(static_cast<std::int64_t>(after[k + 1] - before[k + 1]));
    return std::complex<float>{i, -q};  // C = sum x e^{-jwn}: the sine sums enter negated
  };
  return upTo(to) - upTo(from);
}

// e^{j(wm - ws)B} at running-sum time `edge`, as EndBit makes it.
std::complex<float> BoundaryAt(const RobustFskDemodulator& d, double edge) {
  double position = static_cast<double>(d.tableIndex) + (edge - static_cast<double>(d.sample));
  while (position < 0.0) position += kRobustTablePeriod;
  return std::polar(1.0f, static_cast<float>(d.boundaryStep * position));
}

// A start edge from the soft bit's crossing alone is off by a sample or
// more in noise, and every sample turns the change of tone by most of a
// radian. The sender's phase runs on across the edge, so the mark before
// it and the space after it add up in phase, with the turn the decisions
// learnt at changes of tone, only where the edge truly lies: the edge is
// moved, by at most kRefineSpan, to where they add up best.
constexpr int kRefineDecision = kCoherentDecision;  // whose learnt turn is used: the longest average
constexpr double kRefineSpan = 1.0;        // samples either side of the crossing's edge
constexpr double kRefineStep = 0.125;      // samples between the edges tried
constexpr double kShortestSpace = 3.0;     // samples of space needed after the furthest edge tried

double RefineStartEdge(const RobustFskDemodulator& d, double edge) {
  std::complex<float> turn;
  if (!FskSequenceMarkToSpaceTurn(d.ends.framers[kRefineDecision].sequence, turn)) return edge;
  const double bit = RobustFskBitSamples(d);
  const double newest = static_cast<double>(d.sample) - 1.0;   // furthest the ring reaches forward
  const double oldest = static_cast<double>(d.sample) - (kRobustRing - 1);
  const double space = std::min(bit, newest - (edge + kRefineSpan));
  if (space < kShortestSpace || edge - kRefineSpan - bit < oldest) return edge;
  double best = edge;
  float bestScore = -1.0f;
  for (double tried = edge - kRefineSpan; tried <= edge + kRefineSpan + 1e-9; tried += kRefineStep) {
    const std::complex<float> mark = CorrelationOver(d, tried - bit, tried, 0);
    const std::complex<float> after = CorrelationOver(d, tried, tried + space, 1);
    const float score = std::norm(mark + after * std::conj(BoundaryAt(d, tried) * turn));
    if (score > bestScore) {
      bestScore = score;
      best = tried;
    }
  }
  return best;
}

// Whether the line carried a tone at the bit; silent bits count as mark.
bool HasTone(const RobustFskBit& bit) { return bit.markEnergy + bit.spaceEnergy >= kMinEnergy; }

void AddBit(RobustFskFramer& f, const RobustFskBit& bit) {
  if (!HasTone(bit)) return;
  RobustFskCharacter& c = f.current;
  const float total = bit.markEnergy + bit.spaceEnergy;
  c.clarity += std::min(1.0f, std::fabs(bit.soft) / total);
  c.amplitudeSquared += std::max(bit.markEnergy, bit.spaceEnergy) * kEnergyToAmplitudeSquared;
}

// One decided bit; true when it finished a character.
bool TakeBit(RobustFskFramer& f, const RobustFskBit& bit, FskSequenceBit decided) {
  const bool mark = !HasTone(bit) || decided.mark;
  (mark ? f.current.markTurn : f.current.spaceTurn) += std::complex<double>(decided.turn);
  if (f.bitIndex == 0) {
    if (mark) {
      f.idleBits = std::min(f.idleBits + 1, 1000);
      return false;
    }
    const std::complex<double> markTurn = f.current.markTurn, spaceTurn = f.current.spaceTurn;
    f.current = RobustFskCharacter{};
    f.current.markTurn = markTurn;
    f.current.spaceTurn = spaceTurn;
    f.current.idleBitsBefore = f.idleBits;
    f.current.startSample = bit.start;
    f.shift = 0;
    f.bitIndex = 1;
    AddBit(f, bit);
    return false;
  }
  AddBit(f, bit);
  if (f.bitIndex <= 8) {
    if (mark) f.shift |= 1u << (f.bitIndex - 1);
    ++f.bitIndex;
    return false;
  }
  RobustFskCharacter& c = f.current;
  c.value = static_cast<std::uint8_t>(f.shift);
  c.stopBitIsMark = mark;
  c.endSample = bit.taken;
  c.clarity /= 10.0f;
  c.amplitudeSquared /= 10.0f;
  f.bitIndex = 0;
  f.idleBits = 0;
  return true;
}

// The bit from the last edge to `edge` (running-sum time: the sums of
// slot n hold samples up to n; both within the ring) is complete. Passes it on to
// the decisions, which decide the bit in `decided` as `values`.
void EndBit(RobustFskDemodulator& d, double edge, const RobustFskBit& bit, RobustFskBit& decided,
            FskSequenceBit (&values)[kRobustDecisions]) {
  const std::complex<float> mark = CorrelationOver(d, d.ends.edge, edge, 0);
  const std::complex<float> space = CorrelationOver(d, d.ends.edge, edge, 1);
  RobustFskBit ended = bit;
  ended.start = std::llround(d.ends.edge);
  d.ends.edge = edge;
  // A crossing in this bit has just placed the clock, once it has settled.
  const bool informative = d.bitsSinceCrossing <= 1 && d.crossingsSinceAcquiring >= kSettleCrossings;
  const double onLine = FskEdgeLineEnd(d.ends.line, edge, informative);
  for (int j = 0; j < kSequenceDelay; ++j) d.ends.pending[j] = d.ends.pending[j + 1];
  d.ends.pending[kSequenceDelay] = ended;
  decided = d.ends.pending[0];
  FskSequencePush(d.ends.history, mark, space, BoundaryAt(d, edge), BoundaryAt(d, onLine), HasTone(bit));
  // Silence through the whole history ends a burst; the next sender's
  // edges lie anywhere.
  if (d.ends.history.silentBits >= kSequenceHistory) FskEdgeLineRestart(d.ends.line);
  for (int k = 0; k < kRobustDecisions; ++k) values[k] = FskSequenceDecide(d.ends.framers[k].sequence, d.ends.history);
  FskSequenceFollow(d.ends.framers[kCoherentDecision].sequence, d.ends.framers[kTeacher].sequence, d.ends.history);
}

// Ends a bit and frames the one decided, writing characters that finish to
// `out` while there is room; returns how many there are now.
int EndAndTakeBit(RobustFskDemodulator& d, double edge, const RobustFskBit& bit, RobustFskCharacter* out,
                  int produced, int capacity) {
  // Only a bit of tone in a long mark may be taken back: silence holds no
  // start edge to be found late.
  const bool undoable = d.bitsSinceCrossing > kReacquireBits && HasTone(bit);
  if (undoable) d.beforeLastEnd = d.ends;
  d.lastEndUndoable = undoable;
  RobustFskBit decided;
  FskSequenceBit values[kRobustDecisions];
  EndBit(d, edge, bit, decided, values);
  for (int k = 0; k < kRobustDecisions; ++k) {
    RobustFskFramer& f = d.ends.framers[k];
    if (!TakeBit(f, decided, values[k])) continue;
    d.lastEndUndoable = false;  // a character sent cannot be taken back
    if (produced < capacity) {
      out[produced] = f.current;
      out[produced++].decision = k;
    }
    // The next character's turns start from nothing.
    f.current.markTurn = {};
    f.current.spaceTurn = {};
  }
  return produced;
}

// The references of each plan, made once: a capture of many short streams
// starts a demodulator for each.
struct ReferenceTables {
  std::int16_t cosTable[2][kRobustTablePeriod];
  std::int16_t sinTable[2][kRobustTablePeriod];
};

const ReferenceTables& ReferencesOf(TonePlan plan) {
  static const auto tables = [] {
    std::array<ReferenceTables, 3> made{};
    for (const TonePlan p : {TonePlan::Auto, TonePlan::Bell202, TonePlan::V23}) {
      ReferenceTables& t = made[static_cast<std::size_t>(p)];
      const double hz[2] = {TonesOf(p).mark, TonesOf(p).space};
      for (int tone = 0; tone < 2; ++tone) {
        for (int i = 0; i < kRobustTablePeriod; ++i) {
          const double angle = 2.0 * std::numbers::pi * hz[tone] * i / 8000.0;
          t.cosTable[tone][i] = static_cast<std::int16_t>(std::lround(kTableScale * std::cos(angle)));
          t.sinTable[tone][i] = static_cast<std::int16_t>(std::lround(kTableScale * std::sin(angle)));
        }
      }
    }
    return made;
  }();
  return tables[static_cast<std::size_t>(plan)];
}

}  // namespace

void RobustFskInit(RobustFskDemodulator& d, TonePlan plan) {
  d = RobustFskDemodulator{};
  d.plan = plan;
  const double hz[2] = {TonesOf(plan).mark, TonesOf(plan).space};
  const ReferenceTables& references = ReferencesOf(plan);
  std::memcpy(d.cosTable, references.cosTable, sizeof d.cosTable);
  std::memcpy(d.sinTable, references.sinTable, sizeof d.sinTable);
  d.boundaryStep = static_cast<float>(2.0 * std::numbers::pi * (hz[0] - hz[1]) / 8000.0);
  for (int k = 0; k < kRobustDecisions; ++k) FskSequenceInit(d.ends.framers[k].sequence, kDecisionKinds[k]);
  d.bitsSinceCrossing = kReacquireBits + 1;
}

void RobustFskInitAt(RobustFskDemodulator& d, TonePlan plan, std::int64_t first) {
  RobustFskInit(d, plan);
  d.sample = first;
  d.tableIndex = static_cast<int>(first % kRobustTablePeriod);
  d.ends.edge = static_cast<double>(first);
  d.zeroCrossing = static_cast<double>(first);
}

int RobustFskDemodulate(RobustFskDemodulator& d, const std::int16_t* samples, int count,
                        RobustFskCharacter* out, int capacity) {
  int produced = 0;
  for (int i = 0; i < count; ++i) {
    const std::int32_t x = samples[i];
    const int t = d.tableIndex;
    const std::uint64_t* previous = d.running[Slot(d.sample - 1)];
    std::uint64_t* now = d.running[Slot(d.sample)];
    now[0] = previous[0] + x * d.cosTable[0][t];
    now[1] = previous[1] + x * d.sinTable[0][t];
    now[2] = previous[2] + x * d.cosTable[1][t];
    now[3] = previous[3] + x * d.sinTable[1][t];
    const std::uint64_t* old = d.running[Slot(d.sample - kRobustWindow)];
    d.tableIndex = t + 1 == kRobustTablePeriod ? 0 : t + 1;
    ++d.sample;

    const float mi = Window(now, old, 0), mq = Window(now, old, 1);
    const float si = Window(now, old, 2), sq = Window(now, old, 3);
    const float markEnergy = mi * mi + mq * mq;
    const float spaceEnergy = si * si + sq * sq;
    const float soft = markEnergy - spaceEnergy;
    const float before = d.previousSoft;
    d.previousSoft = soft;

    // A crossing of the soft bit is a bit boundary: it should fall half a
    // bit from the clock's instants.
    double correction = 0.0;
    bool crossed = (soft > 0.0f) != (before > 0.0f);
    RobustFskClockBackup& backup = d.backup;
    if (backup.samplesLeft > 0) {
      --backup.samplesLeft;
      backup.bitPhase += kBitStep * (1.0 + d.rate);
      if (crossed) {
        // Straight back across: noise on the mark. A bit the old clock
        // would have taken meanwhile is one idle mark bit fewer.
        d.bitPhase = backup.bitPhase >= 1.0 ? backup.bitPhase - 1.0 : backup.bitPhase;
        d.bitsSinceCrossing = backup.bitsSinceCrossing;
        d.crossingsSinceAcquiring = backup.crossingsSinceAcquiring;
        d.ends = backup.ends;
        d.lastEndUndoable = false;
        backup.samplesLeft = 0;
        crossed = false;
      }
    }
    if (crossed) {
      d.zeroCrossing = static_cast<double>(d.sample) - 1.0 + before / (before - soft);
    }
    if (d.bitsSinceCrossing > kReacquireBits) {
      // The first crossing after a long mark is the start of a burst or
      // character, found some samples after its edge. In noise the soft bit
      // may creep across zero in small steps, which tracking would pass
      // over; here that would lose the edge, so the crossing counts once
      // the soft bit stands plainly on the other side, within about a bit.
      // The clock ran free through the mark; rather than cut the bits where
      // it happened to stand, end the mark at that edge, though it lies
      // back in time, taking back a bit the clock ended after it. That bit
      // is mark by construction, whatever noise makes of its few samples,
      // so it goes on as a bit without tone.
      // Only a crossing from a plain mark into space is a start edge. If
      // noise hid the edge, the free-running clock has since taken plain
      // space bits, and the crossing back to mark that ends them is no
      // start: taken as one, it would put a mark bit among the spaces.
      const bool plain = markEnergy + spaceEnergy >= kMinEnergy && std::fabs(soft) > kPlainSwing * d.averageSwing &&
                         d.steadyMark && soft < 0.0f;
      if (plain && static_cast<double>(d.sample) - d.zeroCrossing < kPlainWithin) {
        const double fromCrossing = d.zeroCrossing - 0.5 / (kBitStep * (1.0 + d.rate)) - 1.0 - kEdgeLag;
        const double edge = RefineStartEdge(d, fromCrossing);
        const double crossing = d.zeroCrossing + (edge - fromCrossing);  // where a crossing at that edge would lie
        backup = {kNoiseCrossingSamples, d.bitPhase, d.bitsSinceCrossing, d.crossingsSinceAcquiring, d.ends};
        // A mark bit ended just before the edge would leave a sliver of a
        // bit between them: the one ended last is taken back as well, so
        // the mark runs on to the edge.
        if (d.lastEndUndoable && edge < std::round(d.ends.edge) + kShortestBit) d.ends = d.beforeLastEnd;
        d.lastEndUndoable = false;
        // The crossing half a bit from the next instant.
        correction = d.bitPhase - 0.5 - kBitStep * (1.0 + d.rate) * (static_cast<double>(d.sample) - 1.0 - crossing);
        const bool clockMoved = std::fabs(correction - std::round(correction)) > kForgetShift;
        const bool lineHeld = FskEdgeLineHolds(d.ends.line);
        const bool lineMoved = lineHeld ? std::fabs(FskEdgeLineDistance(d.ends.line, edge)) > kLineShift : clockMoved;
        for (int k = 0; k < kRobustDecisions; ++k) {
          if (k == kCoherentDecision ? lineMoved : clockMoved) FskSequenceForgetEdgeCycle(d.ends.framers[k].sequence);
        }
        // A sender that moved its edges keeps its bit length: the line moves
        // with them, its slope kept; a line not yet trusted starts afresh.
        if (lineMoved) {
          if (lineHeld) {
            FskEdgeLineShift(d.ends.line, edge);
          } else {
            FskEdgeLineRestart(d.ends.line);
          }
        }
        if (edge > std::round(d.ends.edge) + kShortestBit) {
          const RobustFskBit mark{before, 0.0f, 0.0f, 0, d.sample};
          produced = EndAndTakeBit(d, edge, mark, out, produced, capacity);
        }
        d.crossingsSinceAcquiring = 0;
        d.bitsSinceCrossing = 0;
      }
    } else if (crossed && markEnergy + spaceEnergy >= kMinEnergy && std::fabs(soft - before) > kPlainSwing * d.averageSwing) {
      const double fraction = before / (before - soft);
      const double late = d.bitPhase + kBitStep * fraction - 0.5;  // how far the clock is past the crossing
      if (const double error = late >= 0.5 ? late - 1.0 : late; std::fabs(error) < kTrackLimit) {
        const bool settled = d.crossingsSinceAcquiring >= kSettleCrossings;
        correction = (settled ? kLockedGain : kTrackGain) * error;
        d.rate = std::clamp(d.rate - kRateGain * error, -kRateLimit, kRateLimit);
        d.crossingsSinceAcquiring = std::min(d.crossingsSinceAcquiring + 1, kSettleCrossings);
        d.bitsSinceCrossing = 0;
      }
    }
    double next = std::max(0.0, d.bitPhase + kBitStep * (1.0 + d.rate) - correction);
    if (next >= 1.0) {
      // Interpolate the soft bit at the instant between the two samples.
      const double at = (1.0 - d.bitPhase) / (next - d.bitPhase);
      const float softAt = before + static_cast<float>(at) * (soft - before);
      const RobustFskBit bit{softAt, markEnergy, spaceEnergy, 0, d.sample};
      if (HasTone(bit)) d.averageSwing += (std::fabs(softAt) - d.averageSwing) * (1.0f / 16.0f);
      if (HasTone(bit) && std::fabs(softAt) > kPlainSwing * d.averageSwing) d.steadyMark = softAt > 0.0f;
      d.bitsSinceCrossing = std::min(d.bitsSinceCrossing + 1, 1000);
      // The bit ends kEdgeLag before the instant.
      const double edge = static_cast<double>(d.sample) + at - 1.0 - kEdgeLag;
      produced = EndAndTakeBit(d, edge, bit, out, produced, capacity);
      next -= 1.0;
    }
    d.bitPhase = next;
  }
  return produced;
}

int RobustFskFlush(RobustFskDemodulator& d, RobustFskCharacter* out, int capacity) {
  // Two bits more than are held back, at the slowest rate the clock follows.
  constexpr int kSilence = static_cast<int>((kSequenceDelay + 2) / (kBitStep * (1.0 - kRateLimit))) + 1;
  const std::int16_t silence[kSilence] = {};
  return RobustFskDemodulate(d, silence, kSilence, out, capacity);
}

double RobustFskBitSamples(const RobustFskDemodulator& d) { return 1.0 / (kBitStep * (1.0 + d.rate)); }

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
