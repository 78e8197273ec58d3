// The robust caller-ID receiver: 8 kHz linear samples in, accepted
// messages (with their sample positions, tone plan and level), caller ID
// sent as DTMF digits and alerting tones out, through the hooks in `RobustCallerIdEvents`. Any number of
// samples per call; the results do not depend on how the signal is cut.
//
// A message may start at any character of a burst, so junk or a broken
// copy before it costs nothing; a message is shown only when its checksum
// holds, it is well formed and its characters sound like FSK and end with
// their stop bits. The bits are
// decided three times (robust_fsk_demodulator.h); whichever copy holds first is
// shown, once. A message
// that fails, where one was plainly framed (first after a mark period or
// the channel seizure), is counted in `rejected`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dtmf/robust/detector.h"
#include "callerid/alert_tone.h"
#include "callerid/message.h"
#include "callerid/dtmf_signalled.h"
#include "callerid/robust/sample_ring.h"
#include "callerid/robust/fsk_demodulator.h"

namespace quorvane {

struct RobustCallerIdMessage {
  std::int64_t startSample;  // leading edge of the type character's start bit
  std::int64_t endSample;    // where the checksum character ended
  TonePlan tonePlan;         // Bell202 or V23 (Auto for DTMF caller ID)
  double levelDbm0;          // FSK: the tone; DTMF: the keys' row tones
  CallerIdInfo info;
};

struct RobustCallerIdEvents {
  void (*message)(void* context, const RobustCallerIdMessage& message) = nullptr;
  void (*alert)(void* context, const AlertTone& alert) = nullptr;
  void* context = nullptr;
};

inline constexpr int kRobustHistory = 260;    // longest message: type, length, 255 bytes, checksum
inline constexpr int kRereadCandidates = 8;  // starts a burst may be read again from

// One bit decision's characters since the last break.
struct RobustCallerIdHistory {
  RobustFskCharacter characters[kRobustHistory];  // oldest first
  int count;
  int framedStart;                                 // index of the plainly framed type character, or -1
};

struct RobustCallerIdReceiver {
  RobustFskDemodulator fsk;
  AlertToneDetector alerts;
  RobustDtmfDetector dtmf;
  DtmfCallerIdAssembler dtmfStrings;
  double dtmfLevelSum;             // summed row-tone levels of the open DTMF string's keys
  int dtmfKeys;                    // keys in it
  RobustCallerIdHistory histories[kRobustDecisions];
  FskSampleRing samples;           // the latest samples, to read a burst again
  // Characters after long mark the first decision framed since the last
  // message shown, where a burst may be read again from: oldest first.
  struct RereadStart {
    std::int64_t sample;         // the character's start
    int idleBits;                // the mark before it
  } rereads[kRereadCandidates];
  int rereadCount;
  std::int64_t failedStart;        // span of the last framed message that failed (-1: none)
  std::int64_t failedEnd;
  std::int64_t sample;             // absolute index of the next sample
  int rejected;                    // framed messages that failed their checksum or form
  RobustCallerIdEvents events;
};

void RobustCallerIdInit(RobustCallerIdReceiver& r, TonePlan plan, RobustCallerIdEvents events);

void RobustCallerIdProcess(RobustCallerIdReceiver& r, const std::int16_t* samples, std::size_t count);

// The input has ended: the characters whose bits the decision still holds
// back and a DTMF key still sounding are taken.
void RobustCallerIdFinish(RobustCallerIdReceiver& r);

// Level of a tone whose squared peak is `peakSquared`, in dBm0.
double PeakSquaredToDbm0(double peakSquared);

}  // namespace quorvane
