// Caller ID sent as DTMF digits: a start key, digits, an end key. A starts
// the calling number, B a redirecting number, D an information code; C (or
// # where networks use it) ends the string. Fed the keys a DTMF detector
// found, in order, it yields one "DTMF" message per framed string.
#pragma once

#include <cstdint>

#include "callerid/message.h"

namespace quorvane {

inline constexpr int kDtmfCallerIdMaxDigits = 32;
inline constexpr std::int64_t kDtmfCallerIdTimeout = 12000;  // 1.5 s between keys ends a string

struct DtmfCallerIdAssembler {
  char startKey;                          // 'A', 'B' or 'D' while a string is open, else 0
  char digits[kDtmfCallerIdMaxDigits];    // digits so far
  int count;
  std::int64_t startSample;               // where the start key was found
  std::int64_t lastSample;                // where the last key was found
};

void DtmfCallerIdInit(DtmfCallerIdAssembler& a);

// One key found at `sample`. True when it closed a string: `message` and
// `startSample` then describe it.
bool DtmfCallerIdKey(DtmfCallerIdAssembler& a, char key, std::int64_t sample, CallerIdInfo& message,
                     std::int64_t& startSample);

}  // namespace quorvane
