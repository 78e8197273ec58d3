// Sorts the frames of a capture into calls: follows SIP over UDP and TCP,
// ties each RTP stream to its call through the SDP offer and answer, reads
// RFC 4733 events and SIP INFO keys, and hands the audio to sinks for the
// in-band keys. Streams no SDP explains become calls of their own, one per
// address pair. Memory follows the calls in progress, not the capture.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "io/calls/call.h"
#include "io/capture/decoder_budget.h"
#include "io/capture/fragment_reassembly.h"
#include "io/capture/packet_parse.h"
#include "io/capture/payload_format.h"
#include "io/capture/payload_types.h"
#include "io/capture/rtp_packet.h"
#include "io/capture/rtp_stream.h"
#include "io/capture/sdp.h"
#include "io/capture/srtp_keys.h"
#include "io/capture/srtp_session.h"
#include "io/sip/sip_message.h"
#include "io/sip/tcp_streams.h"

namespace quorvane::io {

class CallDemux {
 public:
  // A call with no packet for this long (capture time) is over: even on
  // hold, RTP or a session refresh comes sooner.
  static constexpr double kIdleSeconds = 120.0;
  // After its BYE, a call's last RTP packets are still on their way.
  static constexpr double kEndGraceSeconds = 2.0;
  // Calls and streams followed at once, which bounds memory against
  // captures crafted to open millions: a new call beyond these ends the
  // call, a new stream the stream, that has been quiet longest.
  static constexpr std::size_t kMaxLiveCalls = 20000;
  static constexpr std::size_t kMaxLiveStreams = 50000;

  // `srtpKeys`: keys of SRTP streams given by hand; the others come from
  // the a=crypto lines of the capture's SDP.
  explicit CallDemux(CallListener& listener, std::vector<ManualSrtpKey> srtpKeys = {});
  ~CallDemux();

  void Frame(LinkType link, Bytes frame, double time);
  // Ends the calls idle or over at capture time `time`; Frame does this
  // itself, a live capture also calls it while no packets come.
  void Tick(double time);
  // Ends every call still open, in the order they began.
  void Finish();

  std::uint64_t Calls() const { return nextSerial_; }

 private:
  struct Endpoint {
    IpAddress address;
    std::uint16_t port = 0;
    auto operator<=>(const Endpoint&) const = default;
  };
  // The payload formats one side accepts on one media line.
  struct MediaFormat {
    std::uint8_t payloadType = 0;
    PayloadKind kind = PayloadKind::Other;
    std::shared_ptr<const PayloadFormat> format;
  };
  struct MediaFormats {
    std::vector<MediaFormat> formats;
    bool tcp = false;  // RTP framed on a TCP connection (RFC 4571)
    const MediaFormat* Find(std::uint8_t payloadType) const;
    void Add(std::uint8_t payloadType, PayloadFormat format);
  };
  struct Binding {
    std::uint64_t call = 0;
    CallDirection direction = CallDirection::CallerToCallee;  // of the packets sent to the endpoint
    std::shared_ptr<const MediaFormats> formats;
  };
  struct StreamKey {
    Endpoint src;
    Endpoint dst;
    std::uint32_t ssrc = 0;
    auto operator<=>(const StreamKey&) const = default;
  };
  struct LiveCall;
  struct LiveStream;
  class AudioFactory;

  void Transport(const IpPayload& ip, Bytes ipPayload, double time);
  void Sip(std::string_view bytes, double time);
  void SipTcp(const TcpFlowKey& flow, std::uint32_t sequence, Bytes payload, double time);
  void RtpTcp(const TcpFlowKey& flow, std::uint32_t sequence, Bytes payload, const Binding& binding,
              CallDirection direction, double time);
  void Rtp(const StreamKey& key, const RtpPacket& packet, Bytes datagram, double time, const Binding* binding,
           CallDirection direction);
  LiveStream* StartStream(const StreamKey& key, const RtpPacket& packet, double time, const Binding* binding,
                          CallDirection direction);
  void Play(LiveStream& stream, const RtpPacket& packet, double time);
  LiveCall* StartCall(double time);
  void TakeSdp(LiveCall& live, bool fromCaller, const SipMessage& message);
  bool SentByCaller(const LiveCall& live, const SipMessage& message) const;
  void Event(LiveStream& stream, Call& call, std::uint32_t timestamp, Bytes payload, std::uint32_t clock, double time);
  void ReportPress(LiveStream& stream, Call& call);
  void EndCall(std::uint64_t serial);
  using StreamMap = std::map<StreamKey, std::unique_ptr<LiveStream>>;
  void EndStream(StreamMap::iterator stream, Call& call);
  void Touch(LiveCall& live, double time);

  CallListener& listener_;
  FragmentReassembler fragments_;
  DecoderBudget decoderBudget_;
  TcpStreams tcp_;
  PayloadTypeMap payloadTypes_;  // for streams no SDP explains
  SrtpKeyBook srtpKeys_;
  SrtpSessions srtpSessions_;  // before the streams whose sessions it keeps
  std::vector<std::uint8_t> decrypted_;  // the SRTP packet being read, in the clear
  std::map<std::uint64_t, std::unique_ptr<LiveCall>> calls_;
  std::map<std::string, std::uint64_t> callIds_;
  std::map<std::pair<Endpoint, Endpoint>, std::uint64_t> unexplained_;
  std::map<Endpoint, Binding> bindings_;
  StreamMap streams_;
  // Calls and streams by their latest packet, the one seen longest ago first.
  std::list<std::uint64_t> recentCalls_;
  std::list<StreamKey> recentStreams_;
  std::uint64_t nextSerial_ = 0;
  double nextCheck_ = 0;
  double lastTime_ = 0;
};

}  // namespace quorvane::io
