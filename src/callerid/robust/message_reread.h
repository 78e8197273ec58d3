// A second, slower reading of a burst in which no message held.
//
// The streaming bit decisions see about four bits at once, with turns and
// edges learnt as they go. In noise they now and then all read one
// character wrong the same way, or miss a start bit and frame every
// character after it a bit late. Read a whole character at a time, with
// a bit or two of what lies either side and both tones measured over the
// burst, most such messages come out right.
//
// From the type character's start edge (found up to seven bits before or a
// bit after where the first framing put it), each
// character in turn: every shift of its start edge within a sample and a
// half, on a steady clock or on whole samples, and every value, is tried
// as the continuous-phase signal those bits would make, correlated with
// the kept samples at any phase; the best wins. Idle mark bits before a
// character end where a bit reads as space. A second pass reads each
// character again between its neighbours as the first pass found them.
#pragma once

#include <cstdint>

#include "callerid/robust/sample_ring.h"
#include "callerid/robust/fsk_demodulator.h"

namespace quorvane {

inline constexpr int kRereadCharacters = 260;  // longest message: type, length, 255 bytes, checksum

struct FskRereadMessage {
  std::uint8_t bytes[kRereadCharacters];  // type, length, payload, checksum
  int count;
  double startEdge;                       // the type character's start edge
  double endEdge;                         // the end of the checksum character's stop bit
};

// Reads the message whose type character the bit decisions framed as
// `firstRead[0]` (or a few bits late), given everything they
// framed after it in the burst (`firstCount` characters). `plan` is
// Bell202 or V23; bits last `bitSamples` samples. False when no message of
// at most about `firstCount` characters can be framed there.
bool RereadFskMessage(const FskSampleRing& ring, TonePlan plan, double bitSamples,
                      const RobustFskCharacter* firstRead, int firstCount, FskRereadMessage& out);

}  // namespace quorvane
