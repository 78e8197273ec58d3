// The fixed RTP header and the RFC 4733 event payload.
#pragma once

#include <cstdint>
#include <optional>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

struct RtpPacket {
  std::uint8_t payloadType = 0;
  std::uint16_t sequence = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t ssrc = 0;
  Bytes payload;  // CSRC list, header extension and padding removed
};

// A version 2 RTP packet, or nothing (also for RTCP sharing the port).
std::optional<RtpPacket> ParseRtp(Bytes datagram);

struct EventPayload {
  std::uint8_t event = 0;       // 0-9, 10 *, 11 #, 12-15 A-D, others not keys
  bool end = false;
  std::uint16_t duration = 0;   // timestamp units since the event's timestamp
};

// The first event of a telephone-event payload.
std::optional<EventPayload> ParseEventPayload(Bytes payload);

// Whether a payload of an unknown type has the exact shape of one DTMF
// telephone event: four bytes, a key's event code, the reserved bit clear.
bool LooksLikeDtmfEvent(Bytes payload);

// The key of a DTMF event code, or 0.
char KeyOfEvent(std::uint8_t event);

}  // namespace quorvane::io
