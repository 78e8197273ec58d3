// Caller ID sent as DTMF digits: a start key, digits, an end key. A starts
// the calling number, B a redirecting number, D an information code; C (or
// # where networks use it) ends the string. Fed the keys a DTMF detector
// found, in order, it yields one "DTMF" message per framed string.
#pragma once

#include <cstddef>
#include <cstdint>

#include "callerid/events.h"
#include "callerid/message.h"
#include "dtmf/robust/detector.h"

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

// The whole receiver: the robust DTMF detector's keys through the assembler.
struct DtmfSignalledConfig {};

struct DtmfSignalledCallerId {
  RobustDtmfDetector keys;
  DtmfCallerIdAssembler strings;
  double levelSum;  // summed row-tone levels of the open string's keys
  int keyCount;     // keys in it
};

void DtmfSignalledInit(DtmfSignalledCallerId& d, const DtmfSignalledConfig& config);
// Messages (type Dtmf, plan Auto, level the keys' mean row-tone level) go to `sink`.
void DtmfSignalledProcess(DtmfSignalledCallerId& d, const std::int16_t* samples, std::size_t count, CallerIdSink& sink);
// Takes a key still sounding.
void DtmfSignalledFinish(DtmfSignalledCallerId& d, CallerIdSink& sink);
void DtmfSignalledReset(DtmfSignalledCallerId& d);

}  // namespace quorvane
