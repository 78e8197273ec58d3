// Peels a captured frame down to its UDP or TCP payload: link layer, IPv4
// or IPv6 (with extension headers), then the transport header. Every
// function only reads inside the bytes it is given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvane::io {

using Bytes = std::span<const std::uint8_t>;

enum class LinkType { Ethernet, LinuxCooked, LinuxCooked2, RawIp, Loopback };

// The link type of a libpcap DLT value, or nothing for one we do not read.
std::optional<LinkType> LinkTypeOfDlt(int dlt);

// The IP packet a frame carries (VLAN tags skipped), or nothing.
std::optional<Bytes> IpPacketOf(LinkType link, Bytes frame);

struct IpAddress {
  std::uint8_t family = 4;            // 4 or 6
  std::array<std::uint8_t, 16> bytes{};  // IPv4 uses the first 4
  auto operator<=>(const IpAddress&) const = default;
};

// "192.0.2.1:4000", "[2001:db8::1]:4000".
std::string EndpointText(const IpAddress& address, std::uint16_t port);

inline constexpr std::uint8_t kProtocolTcp = 6;
inline constexpr std::uint8_t kProtocolUdp = 17;

// One IP packet's upper-layer payload, or one fragment of it.
struct IpPayload {
  IpAddress src;
  IpAddress dst;
  std::uint8_t protocol = 0;
  Bytes payload;
  bool fragment = false;       // part of a fragmented datagram
  std::uint32_t fragmentId = 0;
  std::uint32_t fragmentOffset = 0;  // bytes from the start of the datagram's payload
  bool moreFragments = false;
};

std::optional<IpPayload> ParseIp(Bytes packet);

struct TransportPayload {
  bool udp = false;  // else TCP
  std::uint16_t srcPort = 0;
  std::uint16_t dstPort = 0;
  Bytes payload;
};

// The UDP or TCP payload of a whole (reassembled) IP payload.
std::optional<TransportPayload> ParseTransport(std::uint8_t protocol, Bytes payload);

}  // namespace quorvane::io
