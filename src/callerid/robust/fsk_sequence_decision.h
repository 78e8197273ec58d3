// Bit decisions for continuous-phase FSK taken over the whole bit sequence.
//
// A transmitter whose phase runs on across bits starts each bit's tone
// where the last one left off, so the correlations of successive bits with
// fixed-phase references are tied together: within a run of one tone they
// turn steadily, and at a change of tone they turn by an angle the
// boundary's position fixes. Turned back by those angles, the correlations
// of a right guess at the bits add up in phase; how much the newest bit
// adds to the energy of the bits before it, or how far it lies along their
// phase, scores that bit (one of the kinds below). A Viterbi search over the
// tones of the newest bits keeps the best-scoring sequence into each, and a
// bit is taken from the best one kSequenceDelay bits later, when the
// sequences agree on it.
// Over one bit the two tones are far from orthogonal (Bell 202 and V.23
// shift by 0.83 and 0.67 of the bit rate); the sequence recovers most of
// that.
//
// The steady turns come from the tones being off the references (plan
// unknown, frequency error); they are learnt from the decided bits.
#pragma once

#include <complex>
#include <cstdint>

namespace quorvane {

inline constexpr int kSequenceBits = 4;                           // bits one branch metric looks at
inline constexpr int kSequenceStates = 1 << (kSequenceBits - 1);  // search states: the newest bits' tones
inline constexpr int kSequenceDelay = 8;                          // bits a decision lags the newest bit
inline constexpr int kSequenceHistory = kSequenceDelay + 2;       // bits kept: back to the one before the decided

// How a branch is scored.
enum class FskSequenceKind {
  // By the energy the newest bit adds to the aligned sum of the
  // kSequenceBits - 1 bits before it.
  Window,
  // By how the newest bit lines up with a phase reference that each
  // sequence carries: its aligned bits, each older one fading to a quarter,
  // so little more than the bit before. It gains less from the bits before
  // than Window does, and loses less where the turns expected at changes of
  // tone are off, as they are for the first bits after the clock picks up
  // a burst from one crossing in noise.
  Reference,
  // Coherently: by how far the newest bit lies along the phase of a
  // reference that fades more slowly. A bit that errs alone turns every
  // later bit against that phase (by 60 degrees at Bell 202's shift), which
  // the energy of a few bits hardly shows. The reference lags by several
  // times any error in the turns it is aligned with, so this kind needs
  // turns averaged over many bits: it follows another decision's lessons
  // (FskSequenceFollow) instead of learning from bits it decided itself,
  // which after a wrong start would teach it turns under which its wrong
  // bits look right. For the same reason it takes its boundaries from the
  // sender's edge line, not from the wandering clock.
  Coherent,
};

// A sender that makes its tones at 8000 samples/s switches them on its own
// samples. Three bits are 20 samples, so its edges sit off a steady clock
// by a pattern that repeats every three bits: up to a third of a sample,
// a quarter radian at Bell 202's shift. The turn at a change of tone is
// learnt for each place in that cycle.
inline constexpr int kEdgeCycle = 3;

// The newest bits as the decisions see them, shared by all of them.
struct FskSequenceHistory {
  std::complex<float> correlation[kSequenceHistory][2];  // per bit, oldest first: mark, space
  std::complex<float> boundary[kSequenceHistory];        // e^{j(wm - ws)B} at each bit's end B on the clock
  std::complex<float> lineBoundary[kSequenceHistory];    // ... with B on the sender's edge line (fsk_edge_line.h)
  int cycle[kSequenceHistory];                           // the place of each bit's end in the edge cycle
  bool signal[kSequenceHistory];                         // whether the bit had a tone at all
  int silentBits;                                        // bits without a tone in a row (capped)
  int nextCycle;                                         // the place of the next bit's end
};

struct FskSequenceDecision {
  FskSequenceKind kind;
  float score[kSequenceStates];                          // best sequence's score into each state, best 0
  std::uint32_t path[kSequenceStates];                   // its tones, newest in bit 0 (1 space)
  std::complex<float> reference[kSequenceStates];        // Reference, Coherent: its phase reference, in its newest bit's phase
  std::complex<float> drift[2][2];                       // learnt residual turn from a bit's tone to the next's
  std::complex<float> change[2][kEdgeCycle];             // ... from a tone to the other, by place in the cycle
  // What the bit decided last taught, for a Coherent decision to follow
  // against its own boundaries.
  struct Lesson {
    bool given;
    int from, to, place;                                 // tones (0 mark) and the place of the boundary
    std::complex<float> seen;                            // the bit's correlation times the conjugate of the one before
  } lesson;
  int lessonsLearnt[2][2];                               // Coherent: lessons averaged into drift (capped)
  int changeLessonsLearnt[2][kEdgeCycle];                // ... into change
  // After forgetting, the change turns learnt before: a sender that makes
  // its tones at 8000 samples/s keeps its edge pattern, only rotated to
  // another place in the cycle. The first changes of tone after it tell
  // which rotation fits (fit[r]: their turns against the turns recalled
  // with rotation r, fit[kEdgeCycle]: against the averages).
  struct Recall {
    int changesLeft;                                     // changes of tone until it decides; 0: nothing to recall
    std::complex<float> turns[2][kEdgeCycle];
    int lessons[2][kEdgeCycle];
    std::complex<float> fit[kEdgeCycle + 1];
  } recall;
  // The learnt turns as unit phasors, as the branch metrics take them:
  // drift[from][to] between bits of a tone, change[from][place] across a
  // change of tone. Each is made again only after what it is made from
  // moved: staleTurns has a bit per learnt turn (fsk_sequence_decision.cpp).
  struct UnitTurns {
    std::complex<float> drift[2][2];
    std::complex<float> change[2][kEdgeCycle];
  } unitTurns;
  std::uint32_t staleTurns;
  int spaceDriftPairs;                                   // pairs of space bits the space drift has learnt from (capped)
  int markToSpaceChanges;                                // changes from mark to space drift[0][1] has learnt from (capped)
  bool previousMark;                                     // the bit decided last
};

// A decided bit and, when it continues the previous bit's tone, how far
// that tone turned over the bit (zero otherwise).
struct FskSequenceBit {
  bool mark;
  std::complex<float> turn;
};

void FskSequenceInit(FskSequenceDecision& d, FskSequenceKind kind);

// Takes the newest bit's correlations C = sum x e^{-jwn} over exactly that
// bit, its end's phasor on the clock and on the edge line, and whether it
// carried a tone.
void FskSequencePush(FskSequenceHistory& h, std::complex<float> mark, std::complex<float> space,
                     std::complex<float> boundary, std::complex<float> lineBoundary, bool signal);

// The sender's edges sit anew on the clock (it was set afresh): the turns
// learnt by place in the edge cycle start again from their average, until
// the next changes of tone show that a rotation of them fits better.
void FskSequenceForgetEdgeCycle(FskSequenceDecision& d);

// The turn learnt from a mark bit to the space bit after it, as a unit
// phasor, once enough changes of tone have taught it; false before.
bool FskSequenceMarkToSpaceTurn(const FskSequenceDecision& d, std::complex<float>& turn);

// A Coherent decision takes in the lesson `teacher` drew from the bit it
// decided last from `h`: an even average of all lessons so far, up to a cap.
void FskSequenceFollow(FskSequenceDecision& d, const FskSequenceDecision& teacher, const FskSequenceHistory& h);

// Decides the bit kSequenceDelay older than the newest pushed to `h`; call
// once after every push.
FskSequenceBit FskSequenceDecide(FskSequenceDecision& d, const FskSequenceHistory& h);

}  // namespace quorvane
