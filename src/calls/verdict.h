// What a receiver would get wrong about a call's keys: the three DTMF paths
// of each direction lined up by time, and each disagreement named.
#pragma once

#include <string>
#include <vector>

#include "io/calls/call.h"

namespace quorvane {

// The stable names of the findings, as --json gives them.
inline constexpr char kKeyMissing[] = "key-missing";                      // on a path in use, absent on another
inline constexpr char kEventsAndAudibleTone[] = "events-and-audible-tone";  // tone not suppressed: counted twice
inline constexpr char kEventsAndInfo[] = "events-and-info";               // the same key as events and SIP INFO
inline constexpr char kInBandDespiteEvents[] = "in-band-despite-events";  // telephone-event agreed, keys only in-band
inline constexpr char kEventWithoutEnd[] = "event-without-end";           // no end packet arrived
inline constexpr char kEventTooShort[] = "event-too-short";               // under 40 ms
inline constexpr char kInBandThroughLossyCodec[] = "in-band-through-lossy-codec";  // the codec garbles tones

struct CallFinding {
  const char* kind = kKeyMissing;
  io::CallDirection direction = io::CallDirection::CallerToCallee;
  std::string keys;            // the keys involved, in time order
  std::vector<double> times;   // their times, seconds from the call's start
  std::string detail;
};

// Keys of one press on different paths lie within this of each other: an
// in-band detector reports a frame or two into the tone, a gateway sends
// its INFO at the tone's start or end.
inline constexpr double kAlignSeconds = 0.3;
// Shorter events are below the 40 ms a DTMF receiver needs to accept a key.
inline constexpr double kShortestEvent = 0.040;

// The findings of both directions, in direction then kind order; none: the paths agree.
std::vector<CallFinding> JudgeCall(const io::Call& call);

const char* PathName(io::DtmfPath path);            // "in-band", "rfc4733", "sip-info"
const char* DirectionName(io::CallDirection direction);  // "caller->callee", "callee->caller"

}  // namespace quorvane
