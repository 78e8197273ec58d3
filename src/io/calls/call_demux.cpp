#include "io/calls/call_demux.h"

#include <algorithm>
#include <cctype>

#include "io/sip/dtmf_info.h"

namespace quorvane::io {
namespace {

// Longer than any SIP start line: bytes without a line end past this are
// not the beginning of a message.
constexpr std::size_t kLongestStartLine = 8192;

// How often (capture seconds) calls are looked at for their end.
constexpr double kCheckSeconds = 1.0;

// RTP lives on unprivileged ports; anything lower (DNS, NTP, ...) could
// look like RTP by chance.
bool MayCarryRtp(std::uint16_t srcPort, std::uint16_t dstPort) {
  return srcPort >= 1024 && dstPort >= 1024 && srcPort != 5060 && dstPort != 5060 && srcPort != 5061 &&
         dstPort != 5061;
}

CallDirection Reverse(CallDirection direction) {
  return direction == CallDirection::CallerToCallee ? CallDirection::CalleeToCaller : CallDirection::CallerToCallee;
}

}  // namespace

const CallDemux::MediaFormat* CallDemux::MediaFormats::Find(std::uint8_t payloadType) const {
  for (const MediaFormat& format : formats) {
    if (format.payloadType == payloadType) return &format;
  }
  return nullptr;
}

void CallDemux::MediaFormats::Add(std::uint8_t payloadType, PayloadFormat format) {
  const PayloadKind kind = KindOfEncoding(format.encoding);
  formats.push_back(MediaFormat{payloadType, kind, std::make_shared<const PayloadFormat>(std::move(format))});
}

struct CallDemux::LiveCall {
  Call call;
  std::string callerTag;
  std::optional<double> cancelled;  // when the caller sent CANCEL
  bool byeSeen = false;
  bool rejected = false;
  double lastSeen = 0;
  std::list<std::uint64_t>::iterator recent;  // its place in recentCalls_
  std::optional<std::pair<Endpoint, Endpoint>> unexplained;  // the address pair of a call no SDP explains
  std::vector<Endpoint> endpoints;   // bound by this call's SDP
  std::vector<StreamKey> streams;
  // CSeq numbers of the latest INFO requests per direction: a request
  // retransmitted over UDP is one key, however many copies arrive.
  std::array<std::array<std::uint32_t, 8>, 2> recentInfo{};
  std::array<std::size_t, 2> infoCount{};
  std::array<bool, 2> offeredEvents{};  // per side (0 caller, 1 callee)
};

// The sink the RTP stream opens: the listener's, with the stream's counts
// kept for the call.
class CallDemux::AudioFactory final : public StreamSinkFactory {
 public:
  AudioFactory(CallListener& listener, Call& call, std::size_t index) : listener_(listener), call_(call), index_(index) {}
  std::unique_ptr<StreamSink> Open(const StreamInfo&) override {
    return std::make_unique<Counted>(listener_.OpenAudio(call_, index_), call_, index_);
  }

 private:
  class Counted final : public StreamSink {
   public:
    Counted(std::unique_ptr<StreamSink> inner, Call& call, std::size_t index)
        : inner_(std::move(inner)), call_(call), index_(index) {}
    void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
      if (inner_) inner_->Ulaw(bytes, count);
    }
    void Linear(const std::int16_t* samples, std::size_t count) override {
      if (inner_) inner_->Linear(samples, count);
    }
    void End(const std::optional<RtpTotals>& rtp) override {
      if (rtp) call_.streams[index_].totals = *rtp;
      if (inner_) inner_->End(rtp);
    }

   private:
    std::unique_ptr<StreamSink> inner_;
    Call& call_;
    std::size_t index_;
  };
  CallListener& listener_;
  Call& call_;
  std::size_t index_;
};

struct CallDemux::LiveStream {
  std::uint64_t call = 0;
  std::size_t index = 0;  // in call.streams
  std::shared_ptr<const MediaFormats> formats;
  std::unique_ptr<AudioFactory> factory;
  std::unique_ptr<RtpStream> audio;
  std::uint32_t firstAudioTimestamp = 0;  // RTP timestamp of the packet at CallStream::firstAudio
  std::uint32_t audioClock = 8000;        // the RTP clock of that packet's format
  std::unique_ptr<SrtpSession> srtp;      // null for plain RTP
  bool keyless = false;                   // SRTP whose key is unknown: counted as unreadable, never played
  std::list<StreamKey>::iterator recent;  // its place in recentStreams_
  // The key press its telephone events are telling, one per timestamp.
  struct Press {
    bool open = false;
    bool reported = false;
    bool ended = false;
    std::uint32_t timestamp = 0;
    std::uint8_t event = 0;
    std::uint32_t duration = 0;  // event clock units
    std::uint32_t clock = 8000;
    double time = 0;
  } press;
};

CallDemux::CallDemux(CallListener& listener, std::vector<ManualSrtpKey> srtpKeys)
    : listener_(listener), srtpKeys_(std::move(srtpKeys)) {}
CallDemux::~CallDemux() = default;

void CallDemux::Frame(LinkType link, Bytes frame, double time) {
  decoderBudget_.Read(frame.size());
  lastTime_ = std::max(lastTime_, time);
  const std::optional<Bytes> packet = IpPacketOf(link, frame);
  if (packet) {
    if (const std::optional<IpPayload> ip = ParseIp(*packet)) {
      if (!ip->fragment) {
        Transport(*ip, ip->payload, time);
      } else if (const std::optional<std::vector<std::uint8_t>> whole = fragments_.Add(*ip, time)) {
        Transport(*ip, *whole, time);
      }
    }
  }
  Tick(time);
}

void CallDemux::Transport(const IpPayload& ip, Bytes ipPayload, double time) {
  const std::optional<TransportPayload> transport = ParseTransport(ip.protocol, ipPayload);
  if (!transport || transport->payload.empty()) return;
  const Bytes payload = transport->payload;
  const Endpoint src{ip.src, transport->srcPort};
  const Endpoint dst{ip.dst, transport->dstPort};
  if (!transport->udp) {
    const std::optional<std::uint32_t> sequence = TcpSequenceOf(ipPayload);
    const TcpFlowKey flow{ip.src, ip.dst, transport->srcPort, transport->dstPort};
    // A TCP media line names the port of the side that listens; the other
    // side's packets come from that port.
    if (const auto to = bindings_.find(dst); to != bindings_.end() && to->second.formats->tcp) {
      RtpTcp(flow, *sequence, payload, to->second, to->second.direction, time);
    } else if (const auto from = bindings_.find(src); from != bindings_.end() && from->second.formats->tcp) {
      RtpTcp(flow, *sequence, payload, from->second, Reverse(from->second.direction), time);
    } else {
      SipTcp(flow, *sequence, payload, time);
    }
    return;
  }
  const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  // SIP starts with a letter, RTP with version bits 10.
  if (std::isalpha(static_cast<unsigned char>(payload[0])) != 0) {
    Sip(text, time);
    return;
  }
  const std::optional<RtpPacket> rtp = ParseRtp(payload);
  if (!rtp) return;
  const StreamKey key{src, dst, rtp->ssrc};
  if (const auto bound = bindings_.find(dst); bound != bindings_.end()) {
    Rtp(key, *rtp, payload, time, &bound->second, bound->second.direction);
  } else if (MayCarryRtp(transport->srcPort, transport->dstPort)) {
    Rtp(key, *rtp, payload, time, nullptr, CallDirection::CallerToCallee);
  }
}

void CallDemux::SipTcp(const TcpFlowKey& flow, std::uint32_t sequence, Bytes payload, double time) {
  const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  // Only a connection that starts a SIP message, or is in the middle of
  // one, is kept: other TCP traffic costs nothing.
  if (!tcp_.Pending(flow) && !LooksLikeSip(text)) return;
  std::optional<std::string_view> unread = tcp_.Add(flow, sequence, payload);
  if (!unread) return;
  std::size_t used = 0;
  for (;;) {
    std::string_view rest = unread->substr(used);
    // Keep-alive CR LF pairs between messages (RFC 5626) carry nothing.
    const std::size_t start = rest.find_first_not_of("\r\n");
    if (start == std::string_view::npos) {
      used = unread->size();
      break;
    }
    used += start;
    rest.remove_prefix(start);
    // After bytes that were dropped (a message too long to keep, a gap in
    // the capture), the next message starts on a line of its own.
    if (!LooksLikeSip(rest)) {
      const std::size_t newline = rest.find('\n');
      if (newline != std::string_view::npos) {
        used += newline + 1;
        continue;
      }
      // A start line still coming is kept; no start line is this long.
      if (rest.size() > kLongestStartLine) used += rest.size();
      break;
    }
    const std::optional<std::size_t> length = SipMessageLength(rest);
    if (!length) break;
    Sip(rest.substr(0, *length), time);
    used += *length;
  }
  tcp_.Consume(flow, used);
}

void CallDemux::RtpTcp(const TcpFlowKey& flow, std::uint32_t sequence, Bytes payload, const Binding& binding,
                       CallDirection direction, double time) {
  const std::optional<std::string_view> unread = tcp_.Add(flow, sequence, payload);
  if (!unread) return;
  // RFC 4571: each packet follows its 16-bit length.
  const Binding copy = binding;  // Rtp may end calls and their bindings
  std::size_t used = 0;
  while (unread->size() - used >= 2) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(unread->data() + used);
    const std::size_t length = static_cast<std::size_t>(p[0]) << 8 | p[1];
    if (unread->size() - used - 2 < length) break;
    const Bytes framed(p + 2, length);
    if (const std::optional<RtpPacket> rtp = ParseRtp(framed)) {
      Rtp(StreamKey{{flow.src, flow.srcPort}, {flow.dst, flow.dstPort}, rtp->ssrc}, *rtp, framed, time, &copy,
          direction);
    }
    used += 2 + length;
  }
  tcp_.Consume(flow, used);
}

CallDemux::LiveCall* CallDemux::StartCall(double time) {
  if (calls_.size() >= kMaxLiveCalls) EndCall(recentCalls_.front());
  auto live = std::make_unique<LiveCall>();
  live->call.serial = nextSerial_++;
  live->call.start = time;
  live->lastSeen = time;
  live->recent = recentCalls_.insert(recentCalls_.end(), live->call.serial);
  LiveCall* raw = live.get();
  calls_.emplace(raw->call.serial, std::move(live));
  return raw;
}

bool CallDemux::SentByCaller(const LiveCall& live, const SipMessage& message) const {
  const bool fromIsCaller =
      live.callerTag.empty() ? PartyOf(message.from) == live.call.from : message.fromTag == live.callerTag;
  // A request comes from its From; a response from the other side.
  return message.request == fromIsCaller;
}

void CallDemux::Sip(std::string_view bytes, double time) {
  // Even a message too broken to follow may map payload types.
  payloadTypes_.LearnFromSip(Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  srtpKeys_.LearnFromSip(bytes);
  const std::optional<SipMessage> message = ParseSipMessage(bytes);
  if (!message) return;
  auto known = callIds_.find(message->callId);
  LiveCall* live = known == callIds_.end() ? nullptr : calls_.at(known->second).get();

  const bool initialInvite = message->request && message->method == "INVITE" && message->toTag.empty();
  if (initialInvite && live != nullptr && live->call.end && !live->rejected) {
    EndCall(known->second);  // the Call-ID is used again for a new call
    live = nullptr;
  }
  if (live == nullptr) {
    if (!initialInvite) return;  // a dialog begun before the capture, or a stray BYE
    live = StartCall(time);
    if (live == nullptr) return;
    live->call.callId = message->callId;
    live->call.from = PartyOf(message->from);
    live->call.to = PartyOf(message->to);
    live->callerTag = message->fromTag;
    callIds_[message->callId] = live->call.serial;
  }
  Touch(*live, time);
  Call& call = live->call;
  const bool fromCaller = SentByCaller(*live, *message);
  const CallDirection direction = fromCaller ? CallDirection::CallerToCallee : CallDirection::CalleeToCaller;

  if (message->contentType == "application/sdp") TakeSdp(*live, fromCaller, *message);
  if (message->request) {
    if (initialInvite && live->rejected) {  // asked again, with credentials
      live->rejected = false;
      call.end.reset();
      call.status = 0;
    } else if (message->method == "CANCEL") {
      if (!live->cancelled) live->cancelled = time;
    } else if (message->method == "BYE") {
      live->byeSeen = true;
      if (!call.end) call.end = time;
    } else if (message->method == "INFO") {
      const std::optional<InfoKey> info = ParseDtmfInfo(message->contentType, message->body);
      const std::size_t d = IndexOf(direction);
      const auto& recent = live->recentInfo[d];
      const auto seen = recent.begin() + static_cast<std::ptrdiff_t>(std::min(live->infoCount[d], recent.size()));
      if (info && std::find(recent.begin(), seen, message->cseq) == seen && call.keys.size() < kMaxKeysPerCall) {
        live->recentInfo[d][live->infoCount[d]++ % recent.size()] = message->cseq;
        call.keys.push_back(CallKey{info->key, DtmfPath::SipInfo, direction, time, info->duration, true});
        listener_.Key(call, call.keys.back());
      }
    }
    return;
  }
  if (message->method != "INVITE" || call.answered || call.end) return;
  if (message->status >= 200 && message->status < 300) {
    call.answered = time;
  } else if (message->status >= 300) {
    call.end = time;
    call.status = message->status;
    live->rejected = message->status != 487 || !live->cancelled;
  }
}

void CallDemux::TakeSdp(LiveCall& live, bool fromCaller, const SipMessage& message) {
  const std::optional<SessionDescription> sdp = ParseSdp(message.body);
  if (!sdp) return;
  // The side that sent this SDP receives at its addresses: the packets
  // sent there travel towards it.
  const CallDirection towards = fromCaller ? CallDirection::CalleeToCaller : CallDirection::CallerToCallee;
  for (const SdpMedia& media : sdp->media) {
    if (media.media != "audio" || media.port == 0 || !media.connection) continue;
    auto formats = std::make_shared<MediaFormats>();
    formats->tcp = media.protocol.starts_with("TCP/");
    for (const std::uint8_t type : media.formats) {
      if (const SdpRtpmap* map = media.RtpmapOf(type)) {
        formats->Add(type, PayloadFormat{map->encoding, map->clockRate, map->channels, std::string(media.FmtpOf(type))});
        if (formats->formats.back().kind == PayloadKind::TelephoneEvent) live.offeredEvents[fromCaller ? 0 : 1] = true;
      } else if (std::optional<PayloadFormat> known = StaticPayloadFormat(type)) {
        formats->Add(type, std::move(*known));
      }
    }
    const Endpoint endpoint{*media.connection, media.port};
    bindings_[endpoint] = Binding{live.call.serial, towards, std::move(formats)};
    if (std::find(live.endpoints.begin(), live.endpoints.end(), endpoint) == live.endpoints.end()) {
      live.endpoints.push_back(endpoint);
    }
  }
  live.call.eventsNegotiated = live.offeredEvents[0] && live.offeredEvents[1];
}

void CallDemux::Rtp(const StreamKey& key, const RtpPacket& packet, Bytes datagram, double time,
                    const Binding* binding, CallDirection direction) {
  const auto it = streams_.find(key);
  LiveStream* stream = it != streams_.end() ? it->second.get() : StartStream(key, packet, time, binding, direction);
  if (stream == nullptr) return;
  recentStreams_.splice(recentStreams_.end(), recentStreams_, stream->recent);
  Touch(*calls_.at(stream->call), time);
  if (stream->keyless) return;
  if (!stream->srtp) {
    Play(*stream, packet, time);
    return;
  }
  bool authFailed = false;
  const std::optional<RtpPacket> clear = stream->srtp->Open(datagram, decrypted_, &authFailed);
  if (authFailed) stream->audio->AuthFailed();
  if (clear) Play(*stream, *clear, time);
}

CallDemux::LiveStream* CallDemux::StartStream(const StreamKey& key, const RtpPacket& packet, double time,
                                              const Binding* binding, CallDirection direction) {
  if (streams_.size() >= kMaxLiveStreams) {
    const auto quietest = streams_.find(recentStreams_.front());
    EndStream(quietest, calls_.at(quietest->second->call)->call);
  }
  std::shared_ptr<const MediaFormats> formats;
  LiveCall* live = nullptr;
  if (binding != nullptr) {
    formats = binding->formats;
    live = calls_.at(binding->call).get();
  } else {
    // A stream no SDP explains starts only on a payload type we read.
    const PayloadKind kind = payloadTypes_.KindOf(packet.payloadType);
    if (kind != PayloadKind::Pcmu && kind != PayloadKind::Pcma && kind != PayloadKind::TelephoneEvent &&
        kind != PayloadKind::Decoded) {
      return nullptr;
    }
    const std::pair<Endpoint, Endpoint> pair = std::minmax(key.src, key.dst);
    auto known = unexplained_.find(pair);
    if (known == unexplained_.end()) {
      live = StartCall(time);
      if (live == nullptr) return nullptr;
      live->call.from = EndpointText(key.src.address, key.src.port);
      live->call.to = EndpointText(key.dst.address, key.dst.port);
      live->unexplained = pair;
      known = unexplained_.emplace(pair, live->call.serial).first;
    } else {
      live = calls_.at(known->second).get();
    }
    // The side that sent first is taken for the caller.
    if (live->call.from != EndpointText(key.src.address, key.src.port)) direction = CallDirection::CalleeToCaller;
    auto guessed = std::make_shared<MediaFormats>();
    for (std::uint8_t type = 0; type < 128; ++type) {
      switch (const PayloadKind typeKind = payloadTypes_.KindOf(type)) {
        case PayloadKind::Pcmu:
        case PayloadKind::Pcma:
        case PayloadKind::TelephoneEvent:
        case PayloadKind::Decoded:
          if (std::shared_ptr<const PayloadFormat> format = payloadTypes_.FormatOf(type)) {
            guessed->formats.push_back(MediaFormat{type, typeKind, std::move(format)});
          } else {
            // Type 101 is telephone-event by custom, with no rtpmap to say so.
            guessed->Add(type, PayloadFormat{"telephone-event", 8000, 1, ""});
          }
          break;
        default: break;
      }
    }
    formats = std::move(guessed);
  }
  Call& call = live->call;
  auto stream = std::make_unique<LiveStream>();
  stream->call = call.serial;
  stream->index = call.streams.size();
  stream->formats = std::move(formats);
  CallStream info;
  info.rtp = RtpStreamInfo{};
  info.rtp.ssrc = key.ssrc;
  info.rtp.src = EndpointText(key.src.address, key.src.port);
  info.rtp.dst = EndpointText(key.dst.address, key.dst.port);
  info.direction = direction;
  const SrtpKeyBook::Lookup secure =
      srtpKeys_.Find(key.ssrc, key.src.address, key.src.port, key.dst.address, key.dst.port);
  std::string reason = secure.reason;
  if (secure.key) {
    stream->srtp = SrtpSession::Make(*secure.key, key.ssrc, srtpSessions_, &reason);
    if (stream->srtp) info.rtp.srtpSuite = SrtpSuiteName(secure.key->suite);
  }
  call.streams.push_back(info);
  stream->factory = std::make_unique<AudioFactory>(listener_, call, stream->index);
  StreamInfo streamInfo;
  streamInfo.rtp = info.rtp;
  stream->audio = std::make_unique<RtpStream>(streamInfo, *stream->factory, decoderBudget_);
  if (secure.srtp && !stream->srtp) {
    stream->keyless = true;
    stream->audio->Unreadable(reason.empty() ? "SRTP with no key" : reason);
  }
  live->streams.push_back(key);
  stream->recent = recentStreams_.insert(recentStreams_.end(), key);
  return streams_.emplace(key, std::move(stream)).first->second.get();
}

void CallDemux::Play(LiveStream& stream, const RtpPacket& packet, double time) {
  Call& call = calls_.at(stream.call)->call;
  CallStream& info = call.streams[stream.index];
  const MediaFormat* format = stream.formats->Find(packet.payloadType);
  const PayloadKind kind = format == nullptr ? PayloadKind::Other : format->kind;
  if (kind == PayloadKind::TelephoneEvent) {
    const std::uint32_t clock = format->format->clockRate == 0 ? 8000 : format->format->clockRate;
    Event(stream, call, packet.timestamp, packet.payload, clock, time);
    stream.audio->Add(packet, PayloadKind::Other);  // counted for sequence, never played
    return;
  }
  if (format != nullptr && info.codec.empty()) {
    info.codec = CodecName(*format->format);
    info.rtp.payloadType = packet.payloadType;
  }
  const bool audio = kind == PayloadKind::Pcmu || kind == PayloadKind::Pcma || kind == PayloadKind::Decoded;
  if (audio && !info.firstAudio) {
    info.firstAudio = time;
    stream.firstAudioTimestamp = packet.timestamp;
    stream.audioClock = format->format->clockRate;
  }
  stream.audio->Add(packet, kind, kind == PayloadKind::Decoded ? format->format : nullptr);
}

void CallDemux::Event(LiveStream& stream, Call& call, std::uint32_t timestamp, Bytes payload, std::uint32_t clock,
                      double time) {
  const std::optional<EventPayload> event = ParseEventPayload(payload);
  if (!event || KeyOfEvent(event->event) == 0) return;
  LiveStream::Press& press = stream.press;
  // Every packet of one press carries the press's start timestamp; the
  // end packet is sent several times. A late packet of an earlier press
  // is not a new one.
  if (press.open && timestamp != press.timestamp && static_cast<std::int32_t>(timestamp - press.timestamp) < 0) return;
  if (!press.open || timestamp != press.timestamp || event->event != press.event) {
    ReportPress(stream, call);  // a press whose end packets were all lost
    // On the audio's clock the press is placed by its timestamp, as the
    // audio's keys are by their samples: the capture's jitter moves neither.
    const CallStream& info = call.streams[stream.index];
    const std::int32_t sinceAudio = static_cast<std::int32_t>(timestamp - stream.firstAudioTimestamp);
    const bool onAudioClock = info.firstAudio && clock == stream.audioClock;
    const double start = onAudioClock && sinceAudio >= 0 && std::int64_t{sinceAudio} < std::int64_t{clock} * 3600
                             ? *info.firstAudio + sinceAudio / static_cast<double>(clock)
                             : time;
    press = LiveStream::Press{true, false, false, timestamp, event->event, event->duration, clock, start};
  }
  if (press.reported) return;
  press.duration = std::max<std::uint32_t>(press.duration, event->duration);
  if (event->end) {
    press.ended = true;
    ReportPress(stream, call);
  }
}

void CallDemux::ReportPress(LiveStream& stream, Call& call) {
  LiveStream::Press& press = stream.press;
  if (!press.open || press.reported) return;
  press.reported = true;
  if (call.keys.size() >= kMaxKeysPerCall) return;
  const CallDirection direction = call.streams[stream.index].direction;
  call.keys.push_back(CallKey{KeyOfEvent(press.event), DtmfPath::Rfc4733, direction, press.time,
                              static_cast<double>(press.duration) / press.clock, press.ended});
  listener_.Key(call, call.keys.back());
}

void CallDemux::Tick(double time) {
  if (time < nextCheck_) return;
  nextCheck_ = time + kCheckSeconds;
  std::vector<std::uint64_t> over;
  for (const auto& [serial, live] : calls_) {
    const bool ended = live->call.end && time - *live->call.end > kEndGraceSeconds;
    if (ended || time - live->lastSeen > kIdleSeconds) over.push_back(serial);
  }
  for (const std::uint64_t serial : over) EndCall(serial);
}

void CallDemux::EndCall(std::uint64_t serial) {
  const auto it = calls_.find(serial);
  if (it == calls_.end()) return;
  LiveCall& live = *it->second;
  Call& call = live.call;
  // A key is listed again when its stream, ended as the quietest, came back.
  for (const StreamKey& key : live.streams) {
    const auto stream = streams_.find(key);
    if (stream != streams_.end() && stream->second->call == serial) EndStream(stream, call);
  }
  for (const Endpoint& endpoint : live.endpoints) {
    const auto bound = bindings_.find(endpoint);
    if (bound != bindings_.end() && bound->second.call == serial) bindings_.erase(bound);
  }
  if (call.callId) {
    const auto named = callIds_.find(*call.callId);
    if (named != callIds_.end() && named->second == serial) callIds_.erase(named);
  } else if (live.unexplained) {
    const auto pair = unexplained_.find(*live.unexplained);
    if (pair != unexplained_.end() && pair->second == serial) unexplained_.erase(pair);
  }
  if (live.rejected) {
    call.outcome = CallOutcome::Rejected;
  } else if (live.cancelled && !call.answered) {
    call.outcome = CallOutcome::Cancelled;
    if (!call.end) call.end = *live.cancelled;
  } else if (live.byeSeen && call.answered) {
    call.outcome = CallOutcome::Answered;
  } else {
    call.outcome = CallOutcome::Incomplete;
  }
  if (!call.end) call.end = std::max(lastTime_, live.lastSeen);
  listener_.Ended(call);
  recentCalls_.erase(live.recent);
  calls_.erase(it);
}

void CallDemux::EndStream(StreamMap::iterator stream, Call& call) {
  stream->second->audio->End();
  ReportPress(*stream->second, call);
  recentStreams_.erase(stream->second->recent);
  streams_.erase(stream);
}

void CallDemux::Touch(LiveCall& live, double time) {
  live.lastSeen = time;
  recentCalls_.splice(recentCalls_.end(), recentCalls_, live.recent);
}

void CallDemux::Finish() {
  while (!calls_.empty()) EndCall(calls_.begin()->first);
}

}  // namespace quorvane::io
