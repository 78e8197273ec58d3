#include "io/capture/packet_parse.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <pcap/dlt.h>

namespace quorvane::io {
namespace {

constexpr std::uint16_t kEtherIpv4 = 0x0800;
constexpr std::uint16_t kEtherIpv6 = 0x86DD;
// 802.1Q, 802.1ad (QinQ) and the older QinQ tag.
constexpr std::uint16_t kVlanTags[] = {0x8100, 0x88A8, 0x9100};
// Enough for any real stack of tags; bounds the loop on hostile frames.
constexpr int kMaxVlanTags = 8;

std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The IP packet behind an ethertype at `offset`, skipping VLAN tags.
std::optional<Bytes> AfterEtherType(Bytes frame, std::size_t offset) {
  for (int tags = 0; tags <= kMaxVlanTags; ++tags) {
    if (frame.size() < offset + 2) return std::nullopt;
    const std::uint16_t type = Be16(frame.data() + offset);
    if (type == kEtherIpv4 || type == kEtherIpv6) return frame.subspan(offset + 2);
    if (std::find(std::begin(kVlanTags), std::end(kVlanTags), type) == std::end(kVlanTags)) return std::nullopt;
    offset += 4;  // tag control field, then the next ethertype
  }
  return std::nullopt;
}

std::optional<IpPayload> ParseIpv4(Bytes packet) {
  if (packet.size() < 20) return std::nullopt;
  const std::uint8_t* p = packet.data();
  const std::size_t headerLength = (p[0] & 0x0F) * 4u;
  // Captures taken where the network card segments large sends hold 0 here.
  const std::size_t totalLength = Be16(p + 2) != 0 ? Be16(p + 2) : packet.size();
  if (headerLength < 20 || totalLength < headerLength || packet.size() < headerLength) return std::nullopt;
  IpPayload out;
  out.src.family = out.dst.family = 4;
  std::memcpy(out.src.bytes.data(), p + 12, 4);
  std::memcpy(out.dst.bytes.data(), p + 16, 4);
  out.protocol = p[9];
  // A snapped capture may hold less than the header promises; trailing
  // Ethernet padding may hold more.
  out.payload = packet.subspan(headerLength, std::min(totalLength, packet.size()) - headerLength);
  const std::uint16_t flagsOffset = Be16(p + 6);
  out.moreFragments = (flagsOffset & 0x2000) != 0;
  out.fragmentOffset = (flagsOffset & 0x1FFFu) * 8u;
  out.fragment = out.moreFragments || out.fragmentOffset != 0;
  out.fragmentId = Be16(p + 4);
  return out;
}

std::optional<IpPayload> ParseIpv6(Bytes packet) {
  if (packet.size() < 40) return std::nullopt;
  const std::uint8_t* p = packet.data();
  IpPayload out;
  out.src.family = out.dst.family = 6;
  std::memcpy(out.src.bytes.data(), p + 8, 16);
  std::memcpy(out.dst.bytes.data(), p + 24, 16);
  Bytes rest = packet.subspan(40, std::min<std::size_t>(Be16(p + 4), packet.size() - 40));
  std::uint8_t next = p[6];
  // Walk the extension headers; each loop consumes at least 8 bytes.
  for (;;) {
    switch (next) {
      case 0:    // hop-by-hop options
      case 43:   // routing
      case 60: { // destination options
        if (rest.size() < 8) return std::nullopt;
        const std::size_t length = (rest[1] + 1u) * 8u;
        if (rest.size() < length) return std::nullopt;
        next = rest[0];
        rest = rest.subspan(length);
        continue;
      }
      case 51: {  // authentication header counts in 4-byte units
        if (rest.size() < 8) return std::nullopt;
        const std::size_t length = (rest[1] + 2u) * 4u;
        if (rest.size() < length) return std::nullopt;
        next = rest[0];
        rest = rest.subspan(length);
        continue;
      }
      case 44: {  // fragment
        if (rest.size() < 8) return std::nullopt;
        const std::uint16_t offsetFlags = Be16(rest.data() + 2);
        out.fragmentOffset = (offsetFlags & 0xFFF8u);
        out.moreFragments = (offsetFlags & 1) != 0;
        out.fragment = out.moreFragments || out.fragmentOffset != 0;
        out.fragmentId = Be32(rest.data() + 4);
        next = rest[0];
        rest = rest.subspan(8);
        if (out.fragment) {  // later headers belong to the reassembled datagram
          out.protocol = next;
          out.payload = rest;
          return out;
        }
        continue;
      }
      default:
        out.protocol = next;
        out.payload = rest;
        return out;
    }
  }
}

}  // namespace

std::optional<LinkType> LinkTypeOfDlt(int dlt) {
  switch (dlt) {
    case DLT_EN10MB: return LinkType::Ethernet;
    case DLT_LINUX_SLL: return LinkType::LinuxCooked;
    case DLT_LINUX_SLL2: return LinkType::LinuxCooked2;
    case DLT_RAW:
    case DLT_IPV4:
    case DLT_IPV6: return LinkType::RawIp;
    case DLT_NULL:
    case DLT_LOOP: return LinkType::Loopback;
    default: return std::nullopt;
  }
}

std::optional<Bytes> IpPacketOf(LinkType link, Bytes frame) {
  switch (link) {
    case LinkType::Ethernet: return AfterEtherType(frame, 12);
    case LinkType::LinuxCooked: return AfterEtherType(frame, 14);
    case LinkType::LinuxCooked2: {
      if (frame.size() < 20) return std::nullopt;
      // The protocol sits first; the rest of the 20-byte header follows it.
      const std::uint16_t type = Be16(frame.data());
      if (type == kEtherIpv4 || type == kEtherIpv6) return frame.subspan(20);
      return std::nullopt;
    }
    case LinkType::RawIp: return frame;
    case LinkType::Loopback:
      // A 4-byte address family in the capturing host's byte order; the IP
      // version nibble tells us all we need.
      if (frame.size() < 4) return std::nullopt;
      return frame.subspan(4);
  }
  return std::nullopt;
}

std::optional<IpPayload> ParseIp(Bytes packet) {
  if (packet.empty()) return std::nullopt;
  switch (packet[0] >> 4) {
    case 4: return ParseIpv4(packet);
    case 6: return ParseIpv6(packet);
    default: return std::nullopt;
  }
}

std::optional<TransportPayload> ParseTransport(std::uint8_t protocol, Bytes payload) {
  TransportPayload out;
  if (protocol == kProtocolUdp) {
    if (payload.size() < 8) return std::nullopt;
    const std::size_t length = Be16(payload.data() + 4);
    if (length < 8) return std::nullopt;
    out.udp = true;
    out.payload = payload.subspan(8, std::min(length, payload.size()) - 8);
  } else if (protocol == kProtocolTcp) {
    if (payload.size() < 20) return std::nullopt;
    const std::size_t headerLength = (payload[12] >> 4) * 4u;
    if (headerLength < 20 || payload.size() < headerLength) return std::nullopt;
    out.payload = payload.subspan(headerLength);
  } else {
    return std::nullopt;
  }
  out.srcPort = Be16(payload.data());
  out.dstPort = Be16(payload.data() + 2);
  return out;
}

std::string EndpointText(const IpAddress& address, std::uint16_t port) {
  char host[INET6_ADDRSTRLEN] = {};
  inet_ntop(address.family == 4 ? AF_INET : AF_INET6, address.bytes.data(), host, sizeof host);
  char text[INET6_ADDRSTRLEN + 8];
  std::snprintf(text, sizeof text, address.family == 4 ? "%s:%u" : "[%s]:%u", host, static_cast<unsigned>(port));
  return text;
}

}  // namespace quorvane::io
