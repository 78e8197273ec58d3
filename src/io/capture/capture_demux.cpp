#include "io/capture/capture_demux.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>

namespace quorvane::io {
namespace {

// How often (capture seconds) idle streams are looked for.
constexpr double kIdleCheckSeconds = 10.0;

bool IsSignallingPort(std::uint16_t port) { return port == 5060 || port == 5061; }

// RTP lives on unprivileged ports; anything lower (DNS, NTP, ...) could
// look like RTP by chance.
bool MayCarryRtp(const TransportPayload& transport) {
  return transport.udp && transport.srcPort >= 1024 && transport.dstPort >= 1024 &&
         !IsSignallingPort(transport.srcPort) && !IsSignallingPort(transport.dstPort);
}

std::string EndpointText(const IpAddress& address, std::uint16_t port) {
  char host[INET6_ADDRSTRLEN] = {};
  inet_ntop(address.family == 4 ? AF_INET : AF_INET6, address.bytes.data(), host, sizeof host);
  char text[INET6_ADDRSTRLEN + 8];
  std::snprintf(text, sizeof text, address.family == 4 ? "%s:%u" : "[%s]:%u", host, static_cast<unsigned>(port));
  return text;
}

}  // namespace

CaptureDemux::CaptureDemux(std::string path, std::string container, StreamSinkFactory& factory)
    : path_(std::move(path)), container_(std::move(container)), factory_(factory) {}

void CaptureDemux::Frame(LinkType link, Bytes frame, double time) {
  const std::optional<Bytes> packet = IpPacketOf(link, frame);
  if (!packet) return;
  const std::optional<IpPayload> ip = ParseIp(*packet);
  if (!ip) return;
  if (!ip->fragment) {
    Transport(*ip, ip->payload, time);
  } else if (const std::optional<std::vector<std::uint8_t>> whole = fragments_.Add(*ip, time)) {
    Transport(*ip, *whole, time);
  }
  EndIdle(time);
}

void CaptureDemux::Transport(const IpPayload& ip, Bytes payload, double time) {
  const std::optional<TransportPayload> transport = ParseTransport(ip.protocol, payload);
  if (!transport || transport->payload.empty()) return;
  // SIP starts with a letter, RTP with version bits 10.
  if (std::isalpha(static_cast<unsigned char>(transport->payload[0])) != 0) {
    payloadTypes_.LearnFromSip(transport->payload);
    return;
  }
  if (!MayCarryRtp(*transport)) return;
  if (const std::optional<RtpPacket> rtp = ParseRtp(transport->payload)) {
    Rtp(StreamKey{ip.src, ip.dst, transport->srcPort, transport->dstPort, rtp->ssrc}, *rtp, time);
  }
}

void CaptureDemux::Rtp(const StreamKey& key, const RtpPacket& packet, double time) {
  const PayloadKind kind = payloadTypes_.KindOf(packet.payloadType);
  auto it = streams_.find(key);
  if (it == streams_.end()) {
    // Only a payload type we read starts a stream; once started, every
    // packet counts for sequence and timing.
    if (kind != PayloadKind::Pcmu && kind != PayloadKind::Pcma && kind != PayloadKind::TelephoneEvent &&
        kind != PayloadKind::Decoded) {
      return;
    }
    if (streams_.size() >= kMaxLiveStreams) return;
    auto stream = std::make_unique<RtpStream>(InfoOf(key), factory_);
    it = streams_.emplace(key, LiveStream{std::move(stream), time, nextSerial_++}).first;
  }
  it->second.lastSeen = time;
  it->second.stream->Add(packet, kind, kind == PayloadKind::Decoded ? payloadTypes_.FormatOf(packet.payloadType) : nullptr);
}

void CaptureDemux::EndIdle(double time) {
  if (time < nextIdleCheck_) return;
  nextIdleCheck_ = time + kIdleCheckSeconds;
  std::vector<std::map<StreamKey, LiveStream>::iterator> idle;
  for (auto it = streams_.begin(); it != streams_.end(); ++it) {
    if (time - it->second.lastSeen > kIdleSeconds) idle.push_back(it);
  }
  std::sort(idle.begin(), idle.end(), [](const auto& a, const auto& b) { return a->second.serial < b->second.serial; });
  for (auto it : idle) {
    it->second.stream->End();
    streams_.erase(it);
  }
}

void CaptureDemux::Finish() {
  std::vector<LiveStream*> open;
  for (auto& [key, live] : streams_) open.push_back(&live);
  std::sort(open.begin(), open.end(), [](const LiveStream* a, const LiveStream* b) { return a->serial < b->serial; });
  for (LiveStream* live : open) live->stream->End();
  streams_.clear();
}

StreamInfo CaptureDemux::InfoOf(const StreamKey& key) {
  char ssrc[16];
  std::snprintf(ssrc, sizeof ssrc, "@0x%08x", key.ssrc);
  StreamInfo info;
  info.input = InputInfo{container_, "rtp", 8000, 1};
  info.rtp = RtpStreamInfo{key.ssrc, EndpointText(key.src, key.srcPort), EndpointText(key.dst, key.dstPort), -1, "", 0, ""};
  // The first stream of an SSRC is PATH@0xSSRC; a later one (another
  // address pair, or the same one after its stream ended) adds its pair and
  // its place among the SSRC's streams, so that no two names are the same.
  const std::uint32_t seen = ssrcStreams_[key.ssrc]++;
  info.name = path_ + ssrc;
  if (seen > 0) info.name += "@" + info.rtp->src + ">" + info.rtp->dst + "/" + std::to_string(seen + 1);
  return info;
}

}  // namespace quorvane::io
