// A SIP call built for the tests: INVITE, answer, ACK, RTP both ways with
// DTMF keys on the paths each direction is told to use, then BYE.
#pragma once

#include <cstdint>
#include <string>

#include "io/capture_writer.h"

namespace quorvane::testing {

struct DirectionPlan {
  std::string keys;            // pressed at KeyStart(k) of call_capture.h, from the audio's start
  bool inBand = false;         // the tones in the audio (else silence)
  bool events = false;         // RFC 4733 events
  bool info = false;           // SIP INFO application/dtmf-relay
  std::string infoKeys;        // the INFO path's keys when not `keys`
  bool eventEnds = true;       // the events' end packets are sent
  int eventSamples = 560;      // event duration at 8 kHz
};

struct SipCallPlan {
  DirectionPlan caller;        // caller -> callee
  DirectionPlan callee;        // callee -> caller
  bool offerEvents = true;     // both SDPs offer telephone-event
  std::uint32_t eventClock = 8000;
  bool ipv6 = false;
  bool sipOverTcp = false;     // each message split over two segments, ACK and INFO sharing one
  bool reinvite = false;       // the callee moves its media to another port before the keys
  bool rtpOverTcp = false;     // TCP/RTP/AVP, RFC 4571 framing
  int finalStatus = 200;       // a final error instead: no media, no BYE
};

inline constexpr char kCallId[] = "a84b4c76e66710@pc33.example.com";

// A pcap capture (raw IP link) of the call.
Packet BuildSipCall(const SipCallPlan& plan);

}  // namespace quorvane::testing
