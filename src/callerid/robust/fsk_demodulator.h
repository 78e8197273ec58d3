// The robust receiver's physical layer: 1200 bit/s FSK to 8-N-1 characters.
//
// Two complex correlators, one per tone, each summing a window of samples
// against its tone; the difference of their energies is the soft bit. A
// phase-locked bit clock takes its timing from the soft bit's zero
// crossings (re-acquiring outright after a long run of mark), so the bit
// length is never a fixed sample count. The bits themselves are decided
// from the correlations over exactly each bit by a search over the bit
// sequence (fsk_sequence_decision.h), several bits behind the clock, and
// three times, by searches that err on different bits; each is framed into
// characters of its own. With the tone plan
// left to the receiver the correlators sit midway between the two plans'
// tones (1250 and 2150 Hz), which costs next to nothing over a bit, and the
// plan is told afterwards from how the correlators' phases turn.
#pragma once

#include <complex>
#include <cstdint>

#include "callerid/robust/edge_line.h"
#include "callerid/tone_plan.h"
#include "callerid/robust/fsk_sequence_decision.h"

namespace quorvane {

inline constexpr int kRobustWindow = 10;  // correlator length in samples: a bit and a half, which
                                          // gains from the phase running on between bits of one tone
inline constexpr int kRobustTablePeriod = 160; // every tone used repeats within 160 samples

// One received character and what its bits looked like.
struct RobustFskCharacter {
  std::uint8_t value;
  bool stopBitIsMark;
  int idleBitsBefore;          // mark bits since the previous character's stop bit (capped)
  std::int64_t startSample;    // estimated sample of the start bit's leading edge
  std::int64_t endSample;      // sample at which the stop bit was taken
  float clarity;               // mean over its bits of |Em - Es| / (Em + Es), 0..1
  float amplitudeSquared;      // mean over its bits of the winning tone's amplitude^2
  // How far each tone's correlator turned over a window, summed over bits
  // in runs of one tone, here and in the mark before the character.
  std::complex<double> markTurn, spaceTurn;
  int decision;                // which bit decision framed it (index into RobustFskDemodulator::framers)
};

// What the bit clock saw of one bit, kept until the bit is decided.
struct RobustFskBit {
  float soft;                    // window energy difference, mark minus space
  float markEnergy, spaceEnergy;
  std::int64_t start;            // sample where the bit began
  std::int64_t taken;            // sample at which the clock took it
};

// Each bit is decided three times, by a Window, a Coherent and a Reference
// sequence decision (fsk_sequence_decision.h): their errors fall on
// different bits, and the receiver shows whichever copy of a message holds
// its checksum.
inline constexpr int kRobustDecisions = 3;

// One decision's bits framed as 8-N-1 characters.
struct RobustFskFramer {
  FskSequenceDecision sequence;
  int bitIndex;                 // 0 idle; 1..9 inside a character
  int idleBits;                 // mark bits since the last stop bit
  unsigned shift;               // data bits so far
  RobustFskCharacter current;   // character being built
};

// Everything that ending a bit changes.
struct RobustFskBitEnds {
  double edge;                                    // the last bit edge, in running-sum time
  FskEdgeLine line;                               // the sender's edges as a line, for the Coherent decision
  FskSequenceHistory history;
  RobustFskFramer framers[kRobustDecisions];
  RobustFskBit pending[kSequenceDelay + 1];       // bits not yet decided, in step with the decisions
};

// The clock and bits as they stood before a crossing after a long mark set
// the clock outright, kept for a few samples: a soft bit that crosses
// straight back was noise on the mark, not a start bit, and both are put
// back.
struct RobustFskClockBackup {
  int samplesLeft;               // samples in which a crossing back restores the clock (0: none)
  double bitPhase;               // the clock as it would stand had it not been set
  int bitsSinceCrossing;
  int crossingsSinceAcquiring;
  RobustFskBitEnds ends;
};

// Samples of running sums kept: a window, the last bit edge behind it (two
// bits back after a bit end is taken back), and at a burst's start a bit
// before the earliest start edge tried.
inline constexpr int kRobustRing = 32;

struct RobustFskDemodulator {
  TonePlan plan;                                  // forced plan, or Auto (midway tones)
  std::int16_t cosTable[2][kRobustTablePeriod];   // Q12 references: [0] mark, [1] space
  std::int16_t sinTable[2][kRobustTablePeriod];
  float boundaryStep;                             // radians per sample between the references
  // Running sums of x*cos, x*sin per tone (mark I, Q, space I, Q) since the
  // start, by the ring slot of the last sample in them. Unsigned, so an
  // endless stream wraps them harmlessly: only differences are read.
  std::uint64_t running[kRobustRing][4];
  RobustFskBitEnds ends;
  // While the clock runs free through a long mark, the bits as they stood
  // before the last bit ended. A start edge is found some samples after it
  // lies; if the clock ended a bit in between, that ending is taken back
  // and the mark ended at the edge instead (a sender need not start its
  // characters on the bit clock of its mark).
  RobustFskBitEnds beforeLastEnd;
  bool lastEndUndoable;                           // beforeLastEnd holds the bits before the last end
  int tableIndex;                                 // absolute sample count modulo the table period
  float previousSoft;                             // soft bit one sample earlier
  float averageSwing;                             // running mean of |soft bit| at bit instants
  double bitPhase;                                // bit clock: fraction of a bit since the last instant
  double rate;                                    // bit clock: learnt rate error (0.01 is 1 % fast)
  int crossingsSinceAcquiring;                    // crossings tracked since the clock was last set outright
  int bitsSinceCrossing;                          // clock bits since the soft bit last crossed zero
  RobustFskClockBackup backup;
  double zeroCrossing;                            // where the soft bit last crossed zero
  bool steadyMark;                                // the side the soft bit plainly stood on at the last instant
  std::int64_t sample;                            // absolute index of the next sample
};

// `plan` Auto listens for both plans; Bell202 or V23 tunes to that one.
void RobustFskInit(RobustFskDemodulator& d, TonePlan plan);

// As Init, for reading that starts at absolute sample `first`: positions
// and the references' phase count from the stream's start.
void RobustFskInitAt(RobustFskDemodulator& d, TonePlan plan, std::int64_t first);

// Demodulates `count` samples, writing at most `capacity` finished
// characters to `out` (count <= 256 gives at most 10); returns how many.
int RobustFskDemodulate(RobustFskDemodulator& d, const std::int16_t* samples, int count,
                        RobustFskCharacter* out, int capacity);

// The input has ended: decides the bits still held back, as if silence
// followed; returns how many characters that finished (at most 4).
int RobustFskFlush(RobustFskDemodulator& d, RobustFskCharacter* out, int capacity);

// The length of a bit, in samples, as the clock has learnt it.
double RobustFskBitSamples(const RobustFskDemodulator& d);

// The tone plan the phase turns of a run of characters point to.
TonePlan EstimateTonePlan(std::complex<double> markTurn, std::complex<double> spaceTurn);

}  // namespace quorvane
