// Bit decisions for continuous-phase FSK taken over the whole bit sequence.
//
// A transmitter whose phase runs on across bits starts each bit's tone
// where the last one left off, so the correlations of successive bits with
// fixed-phase references are tied together: within a run of one tone they
// turn steadily, and at a change of tone they turn by an angle the
// boundary's position fixes. Turned back by those angles, the correlations
// of a right guess at the bits add up in phase; how much the newest bit
// adds to the energy of the bits before it scores that bit (a noncoherent
// branch metric, in one of two kinds below). A Viterbi search over the
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

inline constexpr int kSequenceBits = 3;                           // bits one branch metric looks at
inline constexpr int kSequenceStates = 1 << (kSequenceBits - 1);  // search states: the newest bits' tones
inline constexpr int kSequenceDelay = 8;                          // bits a decision lags the newest bit
inline constexpr int kSequenceHistory = kSequenceDelay + 2;       // bits kept: back to the one before the decided

// How a branch is scored.
enum class FskSequenceKind {
  // By the energy the newest bit adds to the aligned sum of the two bits
  // before it.
  Window,
  // By how the newest bit lines up with a phase reference that each
  // sequence carries (its aligned bits, older ones fading), allowing a small
  // phase slip at a change of tone: a sender that switches tones on its own
  // sample grid puts each edge up to a third of a sample off a steady clock.
  // It errs on other bits than Window does.
  Reference,
};

// The newest bits as the decisions see them, shared by all of them.
struct FskSequenceHistory {
  std::complex<float> correlation[kSequenceHistory][2];  // per bit, oldest first: mark, space
  std::complex<float> boundary[kSequenceHistory];        // e^{j(wm - ws)B} at each bit's end B
  bool signal[kSequenceHistory];                         // whether the bit had a tone at all
  int silentBits;                                        // bits without a tone in a row (capped)
};

struct FskSequenceDecision {
  FskSequenceKind kind;
  float score[kSequenceStates];                          // best sequence's score into each state, best 0
  std::uint32_t path[kSequenceStates];                   // its tones, newest in bit 0 (1 space)
  std::complex<float> reference[kSequenceStates];        // Reference: its phase reference, in its newest bit's phase
  std::complex<float> drift[2][2];                       // learnt residual turn from a bit's tone to the next's
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
// bit, its end's phasor and whether it carried a tone.
void FskSequencePush(FskSequenceHistory& h, std::complex<float> mark, std::complex<float> space,
                     std::complex<float> boundary, bool signal);

// Decides the bit kSequenceDelay older than the newest pushed to `h`; call
// once after every push.
FskSequenceBit FskSequenceDecide(FskSequenceDecision& d, const FskSequenceHistory& h);

}  // namespace quorvane
