// Bit decisions for continuous-phase FSK taken over several bits at once.
//
// A transmitter whose phase runs on across bits starts each bit's tone
// where the last one left off, so the correlations of successive bits with
// fixed-phase references are tied together: within a run of one tone they
// turn steadily, and at a change of tone they turn by an angle the
// boundary's position fixes. The run of bits whose correlations, turned
// back by those angles, add up largest is the likeliest sent (a
// noncoherent test over kSequenceBits bits); its middle bit is taken. Over
// one bit the two tones are far from orthogonal (Bell 202 and V.23 shift
// by 0.83 and 0.67 of the bit rate), which this recovers most of.
//
// The steady turns come from the tones being off the references (plan
// unknown, frequency error); they are learnt from the decided bits.
#pragma once

#include <complex>

namespace quorvane {

inline constexpr int kSequenceBits = 3;                   // bits looked at for one decision
inline constexpr int kSequenceDelay = kSequenceBits / 2;  // bits a decision lags the newest bit

struct FskSequenceDecision {
  std::complex<float> correlation[kSequenceBits][2];  // per bit, oldest first: mark, space
  std::complex<float> boundary[kSequenceBits];        // e^{j(wm - ws)B} at each bit's end B
  bool signal[kSequenceBits];                         // whether the bit had a tone at all
  std::complex<float> drift[2][2];                    // learnt residual turn from a bit's tone to the next's
  bool previousMark;                                  // the bit decided last
};

// A decided bit and, when it continues the previous bit's tone, how far
// that tone turned over the bit (zero otherwise).
struct FskSequenceBit {
  bool mark;
  std::complex<float> turn;
};

void FskSequenceInit(FskSequenceDecision& d);

// Takes the newest bit's correlations C = sum x e^{-jwn} over exactly that
// bit, its end's phasor and whether it carried a tone; decides the bit
// kSequenceDelay older.
FskSequenceBit FskSequencePush(FskSequenceDecision& d, std::complex<float> mark, std::complex<float> space,
                               std::complex<float> boundary, bool signal);

}  // namespace quorvane
