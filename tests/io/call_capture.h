// A capture of one call built for the tests: two RTP streams in opposite
// directions carrying DTMF keys both as audio and as RFC 4733 events, with
// the impairments a real network adds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/capture_writer.h"

namespace quorvane::testing {

inline constexpr int kLead = 800;  // 100 ms before the first key
inline constexpr int kTone = 560;  // 70 ms keys, at -10 dBm0
inline constexpr int kGap = 800;   // 100 ms between keys

// First sample of key k.
inline int KeyStart(std::size_t k) { return kLead + static_cast<int>(k) * (kTone + kGap); }

// The keys as linear audio, in whole 20 ms packets.
std::vector<std::int16_t> KeySignal(const std::string& keys);

struct StreamPlan {
  Ipv4 src, dst;
  std::uint16_t srcPort, dstPort;
  std::uint32_t ssrc;
  std::uint8_t audioType, eventType;
  bool alaw;
  std::uint16_t firstSequence;
  std::uint32_t firstTimestamp;
  std::string keys;
};

// The caller sends PCMU with events on the default type 101; it loses two
// silent packets, repeats one and has one arrive three places late. The
// callee sends PCMA and events on dynamic types the call's SDP maps, its
// sequence numbers wrapping, the two packets around the wrap swapped.
extern const StreamPlan kCaller;
extern const StreamPlan kCallee;

struct CallCapture {
  Packet bytes;
  std::size_t callerPackets = 0;  // as sent
  std::size_t calleePackets = 0;
};

// The SIP INVITE, then both streams interleaved, over Ethernet with
// `vlanTags` tags (two: QinQ).
CallCapture BuildCall(CaptureFormat format, int vlanTags);

}  // namespace quorvane::testing
