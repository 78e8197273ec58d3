#include "io/capture/capture_demux.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

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

}  // namespace

CaptureDemux::CaptureDemux(std::string path, std::string container, StreamSinkFactory& factory,
                           std::vector<ManualSrtpKey> keys)
    : path_(std::move(path)), container_(std::move(container)), factory_(factory), keys_(std::move(keys)) {}

void CaptureDemux::Frame(LinkType link, Bytes frame, double time) {
  decoderBudget_.Read(frame.size());
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
    keys_.LearnFromSip(std::string_view(reinterpret_cast<const char*>(transport->payload.data()), transport->payload.size()));
    return;
  }
  if (!MayCarryRtp(*transport)) return;
  if (const std::optional<RtpPacket> rtp = ParseRtp(transport->payload)) {
    Rtp(StreamKey{ip.src, ip.dst, transport->srcPort, transport->dstPort, rtp->ssrc}, *rtp, transport->payload, time);
  }
}

std::size_t CaptureDemux::StreamKeyHash::operator()(const StreamKey& key) const {
  std::uint64_t h = 0xcbf29ce484222325u;  // FNV-1a over the key's fields
  auto add = [&h](std::uint64_t v) { h = (h ^ v) * 0x100000001b3u; };
  for (const IpAddress* a : {&key.src, &key.dst}) {
    add(a->family);
    for (std::uint8_t b : a->bytes) add(b);
  }
  add(key.srcPort);
  add(key.dstPort);
  add(key.ssrc);
  return static_cast<std::size_t>(h);
}

void CaptureDemux::Rtp(const StreamKey& key, const RtpPacket& packet, Bytes datagram, double time) {
  const PayloadKind kind = payloadTypes_.KindOf(packet.payloadType);
  auto it = streams_.find(key);
  LiveStream* live = it != streams_.end() ? &it->second : Start(key, kind, time);
  if (live == nullptr) return;
  live->lastSeen = time;
  recent_.splice(recent_.end(), recent_, live->recent);
  timeInOrder_ = timeInOrder_ && time >= latest_;
  latest_ = std::max(latest_, time);
  if (live->keyless) return;
  if (!live->srtp) {
    live->stream->Add(packet, kind, kind == PayloadKind::Decoded ? payloadTypes_.FormatOf(packet.payloadType) : nullptr);
    return;
  }
  bool authFailed = false;
  const std::optional<RtpPacket> clear = live->srtp->Open(datagram, decrypted_, &authFailed);
  if (authFailed) live->stream->AuthFailed();
  if (!clear) return;
  live->stream->Add(*clear, kind, kind == PayloadKind::Decoded ? payloadTypes_.FormatOf(clear->payloadType) : nullptr);
}

CaptureDemux::LiveStream* CaptureDemux::Start(const StreamKey& key, PayloadKind kind, double time) {
  // Only a payload type we read starts a stream; once started, every
  // packet counts for sequence and timing.
  if (kind != PayloadKind::Pcmu && kind != PayloadKind::Pcma && kind != PayloadKind::TelephoneEvent &&
      kind != PayloadKind::Decoded) {
    return nullptr;
  }
  if (streams_.size() >= kMaxLiveStreams) End({recent_.front()});
  StreamInfo info = InfoOf(key);
  const SrtpKeyBook::Lookup secure = keys_.Find(key.ssrc, key.src, key.srcPort, key.dst, key.dstPort);
  std::unique_ptr<SrtpSession> srtp;
  std::string reason = secure.reason;
  if (secure.key) {
    srtp = SrtpSession::Make(*secure.key, key.ssrc, srtpSessions_, &reason);
    if (srtp) info.rtp->srtpSuite = SrtpSuiteName(secure.key->suite);
  }
  auto stream = std::make_unique<RtpStream>(std::move(info), factory_, decoderBudget_);
  const bool keyless = secure.srtp && !srtp;
  if (keyless) stream->Unreadable(reason.empty() ? "SRTP with no key" : reason);
  LiveStream live{std::move(stream), time, nextSerial_++, std::move(srtp), keyless, {}};
  StreamMap::value_type& started = *streams_.emplace(key, std::move(live)).first;
  started.second.recent = recent_.insert(recent_.end(), &started);
  return &started.second;
}

void CaptureDemux::EndIdle(double time) {
  if (time < nextIdleCheck_) return;
  nextIdleCheck_ = time + kIdleCheckSeconds;
  std::vector<StreamMap::value_type*> idle;
  for (StreamMap::value_type* entry : recent_) {
    if (time - entry->second.lastSeen > kIdleSeconds) {
      idle.push_back(entry);
    } else if (timeInOrder_) {
      break;  // every stream after this one was seen later still
    }
  }
  End(std::move(idle));
}

void CaptureDemux::End(std::vector<StreamMap::value_type*> streams) {
  std::sort(streams.begin(), streams.end(),
            [](const auto* a, const auto* b) { return a->second.serial < b->second.serial; });
  // Each stream is freed as it ends: its detector may only now be made.
  for (StreamMap::value_type* entry : streams) {
    entry->second.stream->End();
    recent_.erase(entry->second.recent);
    const StreamKey key = entry->first;  // not a reference into the node erased
    streams_.erase(key);
  }
}

void CaptureDemux::Finish() { End({recent_.begin(), recent_.end()}); }

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
