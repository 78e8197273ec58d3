// Sorts the frames of one capture into RTP streams: learns payload types
// from SIP/SDP, reassembles IP fragments, and ends a stream once it has
// been idle for a while so a long capture of many calls stays small.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/capture/decoder_budget.h"
#include "io/capture/fragment_reassembly.h"
#include "io/capture/packet_parse.h"
#include "io/capture/payload_types.h"
#include "io/capture/rtp_packet.h"
#include "io/capture/rtp_stream.h"
#include "io/capture/srtp_keys.h"
#include "io/capture/srtp_session.h"
#include "io/stream_sink.h"

namespace quorvane::io {

class CaptureDemux {
 public:
  // A stream silent for this long (capture time) is over: a call's RTP
  // does not pause for two minutes, even on hold.
  static constexpr double kIdleSeconds = 120.0;
  // Streams followed at once, which bounds memory against captures crafted
  // to open millions: a new stream beyond this ends the one silent longest.
  static constexpr std::size_t kMaxLiveStreams = 50000;

  // `path` names the streams (PATH@0xSSRC); `container` is "pcap" or "pcapng";
  // `keys` are SRTP keys given by hand, beside those the capture's SDP gives.
  CaptureDemux(std::string path, std::string container, StreamSinkFactory& factory,
               std::vector<ManualSrtpKey> keys = {});

  // One captured frame of the given link type, captured at `time` seconds.
  void Frame(LinkType link, Bytes frame, double time);

  // Ends every stream still open, in the order they began.
  void Finish();

  // Streams begun so far.
  std::uint64_t Streams() const { return nextSerial_; }

 private:
  struct StreamKey {
    IpAddress src;
    IpAddress dst;
    std::uint16_t srcPort;
    std::uint16_t dstPort;
    std::uint32_t ssrc;
    bool operator==(const StreamKey&) const = default;
  };
  struct StreamKeyHash {
    std::size_t operator()(const StreamKey& key) const;
  };
  struct LiveStream;
  using StreamMap = std::unordered_map<StreamKey, LiveStream, StreamKeyHash>;
  // The streams by their latest packet, the one seen longest ago first.
  using Recent = std::list<StreamMap::value_type*>;
  struct LiveStream {
    std::unique_ptr<RtpStream> stream;
    double lastSeen;
    std::uint64_t serial;  // creation order
    std::unique_ptr<SrtpSession> srtp;  // for an SRTP stream with a key
    bool keyless = false;               // an SRTP stream without one: its packets are not read
    Recent::iterator recent;            // its place in recent_
  };

  void Transport(const IpPayload& ip, Bytes payload, double time);
  void Rtp(const StreamKey& key, const RtpPacket& packet, Bytes datagram, double time);
  LiveStream* Start(const StreamKey& key, PayloadKind kind, double time);
  void EndIdle(double time);
  // Ends `streams` (in the order they began) and forgets them.
  void End(std::vector<StreamMap::value_type*> streams);
  StreamInfo InfoOf(const StreamKey& key);

  std::string path_;
  std::string container_;
  StreamSinkFactory& factory_;
  PayloadTypeMap payloadTypes_;
  SrtpKeyBook keys_;
  SrtpSessions srtpSessions_;  // before the streams whose sessions it keeps
  std::vector<std::uint8_t> decrypted_;
  FragmentReassembler fragments_;
  DecoderBudget decoderBudget_;
  StreamMap streams_;
  Recent recent_;
  // Whether capture time has never gone back: recent_ is then also in the
  // order of lastSeen, and the idle streams are the first ones in it.
  bool timeInOrder_ = true;
  double latest_ = 0;
  std::uint64_t nextSerial_ = 0;
  std::unordered_map<std::uint32_t, std::uint32_t> ssrcStreams_;  // streams begun per SSRC
  double nextIdleCheck_ = 0;
};

}  // namespace quorvane::io
