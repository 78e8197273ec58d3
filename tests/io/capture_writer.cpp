#include "io/capture_writer.h"

namespace quorvane::testing {
namespace {

void Le16(Packet& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Le32(Packet& out, std::uint32_t v) {
  Le16(out, v & 0xFFFF);
  Le16(out, v >> 16);
}
void Be16(Packet& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
void Be32(Packet& out, std::uint32_t v) {
  Be16(out, v >> 16);
  Be16(out, v & 0xFFFF);
}
void Append(Packet& out, const Packet& tail) { out.insert(out.end(), tail.begin(), tail.end()); }

}  // namespace

CaptureWriter::CaptureWriter(CaptureFormat format, int linkType) : format_(format) {
  if (format_ == CaptureFormat::Pcap) {
    Le32(bytes_, 0xA1B2C3D4);
    Le16(bytes_, 2);
    Le16(bytes_, 4);
    Le32(bytes_, 0);
    Le32(bytes_, 0);
    Le32(bytes_, 65535);
    Le32(bytes_, static_cast<std::uint32_t>(linkType));
    return;
  }
  // Section header block, then one interface description block.
  Le32(bytes_, 0x0A0D0D0A);
  Le32(bytes_, 28);
  Le32(bytes_, 0x1A2B3C4D);
  Le16(bytes_, 1);
  Le16(bytes_, 0);
  Le32(bytes_, 0xFFFFFFFF);
  Le32(bytes_, 0xFFFFFFFF);
  Le32(bytes_, 28);
  Le32(bytes_, 1);
  Le32(bytes_, 20);
  Le16(bytes_, static_cast<std::uint32_t>(linkType));
  Le16(bytes_, 0);
  Le32(bytes_, 65535);
  Le32(bytes_, 20);
}

void CaptureWriter::Add(double time, const Packet& frame) {
  const auto micros = static_cast<std::uint64_t>(time * 1e6 + 0.5);
  const auto length = static_cast<std::uint32_t>(frame.size());
  if (format_ == CaptureFormat::Pcap) {
    Le32(bytes_, static_cast<std::uint32_t>(micros / 1000000));
    Le32(bytes_, static_cast<std::uint32_t>(micros % 1000000));
    Le32(bytes_, length);
    Le32(bytes_, length);
    Append(bytes_, frame);
    return;
  }
  const std::uint32_t padded = (length + 3) & ~3u;
  Le32(bytes_, 6);  // enhanced packet block
  Le32(bytes_, 32 + padded);
  Le32(bytes_, 0);
  Le32(bytes_, static_cast<std::uint32_t>(micros >> 32));
  Le32(bytes_, static_cast<std::uint32_t>(micros));
  Le32(bytes_, length);
  Le32(bytes_, length);
  Append(bytes_, frame);
  bytes_.resize(bytes_.size() + (padded - length), 0);
  Le32(bytes_, 32 + padded);
}

Packet Rtp(std::uint8_t payloadType, std::uint16_t sequence, std::uint32_t timestamp, std::uint32_t ssrc,
           const Packet& payload) {
  Packet out = {0x80, payloadType};
  Be16(out, sequence);
  Be32(out, timestamp);
  Be32(out, ssrc);
  Append(out, payload);
  return out;
}

Packet EventPayload(std::uint8_t event, bool end, std::uint16_t duration) {
  Packet out = {event, static_cast<std::uint8_t>((end ? 0x80 : 0) | 10)};
  Be16(out, duration);
  return out;
}

Packet Udp(std::uint16_t srcPort, std::uint16_t dstPort, const Packet& payload) {
  Packet out;
  Be16(out, srcPort);
  Be16(out, dstPort);
  Be16(out, static_cast<std::uint32_t>(payload.size() + 8));
  Be16(out, 0);  // no checksum
  Append(out, payload);
  return out;
}

Packet Ipv4Packet(const Ipv4& src, const Ipv4& dst, const Packet& payload, std::uint8_t protocol, std::uint16_t id,
                  std::uint32_t fragmentOffset, bool moreFragments) {
  Packet out = {0x45, 0};
  Be16(out, static_cast<std::uint32_t>(payload.size() + 20));
  Be16(out, id);
  Be16(out, (moreFragments ? 0x2000u : 0u) | fragmentOffset / 8);
  out.insert(out.end(), {64, protocol, 0, 0});
  out.insert(out.end(), src.begin(), src.end());
  out.insert(out.end(), dst.begin(), dst.end());
  Append(out, payload);
  return out;
}

Packet Ipv6Packet(const Ipv6& src, const Ipv6& dst, const Packet& udp) {
  Packet out = {0x60, 0, 0, 0};
  Be16(out, static_cast<std::uint32_t>(udp.size() + 8));
  out.insert(out.end(), {60, 64});  // destination options next
  out.insert(out.end(), src.begin(), src.end());
  out.insert(out.end(), dst.begin(), dst.end());
  out.insert(out.end(), {17, 0, 1, 4, 0, 0, 0, 0});  // UDP next, a PadN option
  Append(out, udp);
  return out;
}

Packet Ethernet(const Packet& ip, int vlanTags) {
  Packet out = {2, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 1};
  for (int i = 0; i < vlanTags; ++i) {
    Be16(out, i == 0 && vlanTags > 1 ? 0x88A8 : 0x8100);
    Be16(out, 100u + static_cast<std::uint32_t>(i));
  }
  Be16(out, (ip[0] >> 4) == 6 ? 0x86DD : 0x0800);
  Append(out, ip);
  return out;
}

Packet LinuxCooked(const Packet& ip) {
  Packet out = {0, 0, 0, 1, 0, 6, 2, 0, 0, 0, 0, 1, 0, 0};
  Be16(out, (ip[0] >> 4) == 6 ? 0x86DD : 0x0800);
  Append(out, ip);
  return out;
}

Packet LinuxCooked2(const Packet& ip) {
  Packet out;
  Be16(out, (ip[0] >> 4) == 6 ? 0x86DD : 0x0800);
  out.insert(out.end(), {0, 0, 0, 0, 0, 2, 0, 1, 0, 6, 2, 0, 0, 0, 0, 1, 0, 0});
  Append(out, ip);
  return out;
}

Packet SipInvite(const std::vector<std::string>& rtpmaps, const std::string& fmtp) {
  std::string sdp = "v=0\r\no=- 1 1 IN IP4 10.0.0.1\r\ns=-\r\nc=IN IP4 10.0.0.1\r\nt=0 0\r\nm=audio 40000 RTP/AVP";
  // Appended piece by piece: an optimised build warns falsely about "x" + string.
  for (const std::string& map : rtpmaps) {
    sdp += ' ';
    sdp.append(map, 0, map.find(' '));
  }
  sdp += "\r\n";
  for (const std::string& map : rtpmaps) sdp.append("a=rtpmap:").append(map).append("\r\n");
  if (!fmtp.empty()) sdp.append("a=fmtp:").append(fmtp).append("\r\n");
  const std::string sip = "INVITE sip:bob@example.com SIP/2.0\r\nVia: SIP/2.0/UDP 10.0.0.1:5060\r\n"
                          "Content-Type: application/sdp\r\nContent-Length: " +
                          std::to_string(sdp.size()) + "\r\n\r\n" + sdp;
  return Packet(sip.begin(), sip.end());
}

}  // namespace quorvane::testing
