// A small writer of pcap and pcapng files, and builders for the frames
// and RTP packets the capture tests put in them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

using Packet = std::vector<std::uint8_t>;

enum class CaptureFormat { Pcap, Pcapng };

inline constexpr int kLinkEthernet = 1;
inline constexpr int kLinkRaw = 101;
inline constexpr int kLinkSll = 113;
inline constexpr int kLinkSll2 = 276;

class CaptureWriter {
 public:
  CaptureWriter(CaptureFormat format, int linkType);
  void Add(double time, const Packet& frame);
  const Packet& bytes() const { return bytes_; }

 private:
  CaptureFormat format_;
  Packet bytes_;
};

using Ipv4 = std::array<std::uint8_t, 4>;
using Ipv6 = std::array<std::uint8_t, 16>;

Packet Rtp(std::uint8_t payloadType, std::uint16_t sequence, std::uint32_t timestamp, std::uint32_t ssrc,
           const Packet& payload);
// An RFC 4733 payload: event code, end bit, duration.
Packet EventPayload(std::uint8_t event, bool end, std::uint16_t duration);
Packet Udp(std::uint16_t srcPort, std::uint16_t dstPort, const Packet& payload);
// IPv4 carrying `payload` (UDP unless told), optionally one fragment of it:
// `fragmentOffset` bytes in, with more fragments to come.
Packet Ipv4Packet(const Ipv4& src, const Ipv4& dst, const Packet& payload, std::uint8_t protocol = 17,
                  std::uint16_t id = 1, std::uint32_t fragmentOffset = 0, bool moreFragments = false);
// IPv6 with a destination-options header before the UDP one.
Packet Ipv6Packet(const Ipv6& src, const Ipv6& dst, const Packet& udp);
Packet Ethernet(const Packet& ip, int vlanTags = 0);
Packet LinuxCooked(const Packet& ip);
Packet LinuxCooked2(const Packet& ip);
// A SIP INVITE whose SDP maps the given "PT NAME/RATE" entries, with an
// "a=fmtp:" line of `fmtp` ("PT PARAMETERS") when given.
Packet SipInvite(const std::vector<std::string>& rtpmaps, const std::string& fmtp = "");

}  // namespace quorvane::testing
