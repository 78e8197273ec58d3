// Where the messages a run of characters may hold would end.
//
// A caller-ID message is its type, a length byte L, L bytes of payload and
// a checksum, so the character after a message's type names the character
// that would end the message, L + 1 after it. Every character is a length
// byte for some end; kept by that end, the candidates for a message ending
// at the newest character are found at once, newest first, instead of by
// looking back over the whole history for each character. The characters
// are numbered from the last break; prefix sums of their values (mod 256,
// as the checksum is) give any candidate's sum.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quorvane {

inline constexpr int kMessageEndSlots = 512;  // more than the longest message and the farthest end ahead

struct MessageEnds {
  std::int64_t newest[kMessageEndSlots];  // by the end's number: the newest length byte naming it, or -1
  std::int64_t older[kMessageEndSlots];   // by a length byte's number: the next older one naming the same end
  std::uint8_t sumBefore[kMessageEndSlots];  // by number: the sum of the characters before it
};

inline std::size_t MessageEndSlot(std::int64_t number) {
  return static_cast<std::size_t>(number & (kMessageEndSlots - 1));
}

inline void MessageEndsReset(MessageEnds& m) {
  std::fill(std::begin(m.newest), std::end(m.newest), -1);
  m.sumBefore[0] = 0;
}

// Takes character `number` (numbers run on from 0 since the reset) of value
// `value`; returns the newest length byte naming it as an end, or -1, and
// forgets that list so the slot may serve an end 512 characters on.
inline std::int64_t MessageEndsAdd(MessageEnds& m, std::int64_t number, std::uint8_t value) {
  m.sumBefore[MessageEndSlot(number + 1)] = static_cast<std::uint8_t>(m.sumBefore[MessageEndSlot(number)] + value);
  std::int64_t& endingHere = m.newest[MessageEndSlot(number)];
  const std::int64_t first = endingHere;
  endingHere = -1;
  std::int64_t& named = m.newest[MessageEndSlot(number + value + 1)];
  m.older[MessageEndSlot(number)] = named;
  named = number;
  return first;
}

// The sum, mod 256, of characters [from, to].
inline std::uint8_t MessageEndsSum(const MessageEnds& m, std::int64_t from, std::int64_t to) {
  return static_cast<std::uint8_t>(m.sumBefore[MessageEndSlot(to + 1)] - m.sumBefore[MessageEndSlot(from)]);
}

}  // namespace quorvane
