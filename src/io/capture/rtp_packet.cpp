#include "io/capture/rtp_packet.h"

namespace quorvane::io {

std::optional<RtpPacket> ParseRtp(Bytes datagram) {
  if (datagram.size() < 12 || (datagram[0] >> 6) != 2) return std::nullopt;
  RtpPacket out;
  out.payloadType = datagram[1] & 0x7F;
  // RTCP packet types 200-204 read as marker plus 72-76.
  if (out.payloadType >= 72 && out.payloadType <= 76) return std::nullopt;
  out.sequence = static_cast<std::uint16_t>(datagram[2] << 8 | datagram[3]);
  out.timestamp = static_cast<std::uint32_t>(datagram[4]) << 24 | static_cast<std::uint32_t>(datagram[5]) << 16 |
                  static_cast<std::uint32_t>(datagram[6]) << 8 | datagram[7];
  out.ssrc = static_cast<std::uint32_t>(datagram[8]) << 24 | static_cast<std::uint32_t>(datagram[9]) << 16 |
             static_cast<std::uint32_t>(datagram[10]) << 8 | datagram[11];
  std::size_t header = 12 + 4u * (datagram[0] & 0x0F);
  if (datagram.size() < header) return std::nullopt;
  if (datagram[0] & 0x10) {  // extension: 4-byte head, then its length in words
    if (datagram.size() < header + 4) return std::nullopt;
    header += 4 + 4u * static_cast<std::size_t>(datagram[header + 2] << 8 | datagram[header + 3]);
    if (datagram.size() < header) return std::nullopt;
  }
  std::size_t end = datagram.size();
  if (datagram[0] & 0x20) {  // padding: its last byte counts itself too
    const std::size_t padding = datagram[end - 1];
    if (padding == 0 || padding > end - header) return std::nullopt;
    end -= padding;
  }
  out.payload = datagram.subspan(header, end - header);
  return out;
}

std::optional<EventPayload> ParseEventPayload(Bytes payload) {
  if (payload.size() < 4) return std::nullopt;
  return EventPayload{payload[0], (payload[1] & 0x80) != 0, static_cast<std::uint16_t>(payload[2] << 8 | payload[3])};
}

bool LooksLikeDtmfEvent(Bytes payload) {
  return payload.size() == 4 && payload[0] <= 15 && (payload[1] & 0x40) == 0;
}

char KeyOfEvent(std::uint8_t event) {
  static constexpr char kKeys[] = "0123456789*#ABCD";
  return event <= 15 ? kKeys[event] : 0;
}

}  // namespace quorvane::io
