// The robust caller-ID receiver: 8 kHz linear samples in; accepted FSK
// messages (with their positions, tone plan and level), caller ID sent as
// DTMF digits (dtmf_signalled.h) and alerting tones (alert_tone.h) out to a
// CallerIdSink. Any number of samples per call; the results do not depend
// on how the signal is cut.
//
// A message may start at any character of a burst, so junk or a broken
// copy before it costs nothing; a message is shown only when its checksum
// holds, it is well formed and its characters sound like FSK and end with
// their stop bits. The bits are decided three times (fsk_demodulator.h);
// whichever copy holds first is shown, once. A burst in which no message
// held is read again from the kept samples (message_reread.h). A message
// that fails, where one was plainly framed (first after a mark period or
// the channel seizure), is counted in `rejected`.
//
// The FSK part runs only where a burst may be (fsk_gate.h): from a little
// before the gate first lets a few chunks in a row through, until it has
// held shut for a while, on the kept samples, and from a fresh start each
// time. Speech, music and noise between bursts cost next to nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "callerid/alert_tone.h"
#include "callerid/dtmf_signalled.h"
#include "callerid/events.h"
#include "callerid/message.h"
#include "callerid/tone_plan.h"
#include "callerid/robust/sample_ring.h"
#include "callerid/robust/fsk_demodulator.h"
#include "callerid/robust/fsk_gate.h"
#include "callerid/robust/message_ends.h"

namespace quorvane {

inline constexpr int kRobustHistory = 260;    // longest message: type, length, 255 bytes, checksum
inline constexpr int kRereadCandidates = 8;  // starts a burst may be read again from
inline constexpr int kGateVerdicts = 256;    // chunks of 256 samples: as far back as the kept samples reach

// One bit decision's characters since the last break, oldest first, in
// kept[first, first + count). A new character goes on the end; the run
// moves back to the front only when the end of `kept` is reached, so an
// endless stream of characters costs one copy each, not a history's worth.
struct RobustCallerIdHistory {
  RobustFskCharacter kept[2 * kRobustHistory];
  int first;
  int count;
  int framedStart;       // index (from the oldest) of the plainly framed type character, or -1
  std::int64_t dropped;  // characters since the break no longer held: a character's number is its index + this
  MessageEnds ends;      // the messages the characters may end, by number
};

// The character `index` places after the oldest held.
inline const RobustFskCharacter& HistoryAt(const RobustCallerIdHistory& h, int index) {
  return h.kept[h.first + index];
}

struct RobustCallerIdReceiver {
  RobustFskDemodulator fsk;
  AlertToneDetector alerts;
  DtmfSignalledCallerId dtmf;       // caller ID sent as DTMF digits
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
  FskGate gate;
  // The gate's verdicts on the last kGateVerdicts chunks, by chunk index.
  std::uint64_t gateThrough[kGateVerdicts / 64];
  int gateRun;                     // chunks in a row the gate let through
  int gateShut;                    // chunks in a row it held shut while the FSK part runs
  bool fskRunning;                 // the FSK part is reading
  std::int64_t fskNext;            // the next sample it reads
  std::int64_t fskAllowed;         // where its next run may start: after the last one
  int rejected;                    // framed messages that failed their checksum or form
  CallerIdSink* sink;              // where the call under way reports; null between calls
};

struct RobustCallerIdConfig {
  TonePlan plan = TonePlan::Auto;  // Auto: found from each burst; Bell202 or V23 forces it
};

void RobustCallerIdInit(RobustCallerIdReceiver& r, const RobustCallerIdConfig& config);

// Any number of samples (8000/s) per call; messages and alerting tones go to
// `sink` as they are found.
void RobustCallerIdProcess(RobustCallerIdReceiver& r, const std::int16_t* samples, std::size_t count,
                           CallerIdSink& sink);

// The input has ended: the characters whose bits the decision still holds
// back, a burst not yet read again and a DTMF key still sounding are taken.
// The receiver is left as it is; Reset it before a new input.
void RobustCallerIdFinish(RobustCallerIdReceiver& r, CallerIdSink& sink);

// Back to the state Init leaves, keeping the tone plan.
void RobustCallerIdReset(RobustCallerIdReceiver& r);

// Framed messages that failed their checksum or form, less those a later
// reading mended.
inline int RobustCallerIdRejected(const RobustCallerIdReceiver& r) { return r.rejected; }

// Level of a tone whose squared peak is `peakSquared`, in dBm0.
double PeakSquaredToDbm0(double peakSquared);

}  // namespace quorvane
