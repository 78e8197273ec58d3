#include "io/sip_call.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "codec/ulaw.h"
#include "io/call_capture.h"

namespace quorvane::testing {
namespace {

constexpr double kAudioStart = 1.0;  // capture seconds of the first RTP packet
constexpr int kCallSamples = 8000 * 2;

std::uint8_t EventCode(char key) { return static_cast<std::uint8_t>(std::string("0123456789*#ABCD").find(key)); }

struct Host {
  Ipv4 v4;
  Ipv6 v6;
};
const Host kAlice{{10, 0, 0, 1}, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
const Host kBob{{10, 0, 0, 2}, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}};

class CallWriter {
 public:
  explicit CallWriter(const SipCallPlan& plan) : plan_(plan), writer_(CaptureFormat::Pcap, kLinkRaw) {}

  void Udp(double time, bool fromCaller, std::uint16_t srcPort, std::uint16_t dstPort, const Packet& payload) {
    Add(time, fromCaller, testing::Udp(srcPort, dstPort, payload), 17);
  }
  // One TCP segment of the connection from the sender's port.
  void Tcp(double time, bool fromCaller, std::uint16_t srcPort, std::uint16_t dstPort, const Packet& payload) {
    std::uint32_t& sequence = sequences_[{fromCaller, srcPort}];
    Packet segment = {static_cast<std::uint8_t>(srcPort >> 8), static_cast<std::uint8_t>(srcPort),
                      static_cast<std::uint8_t>(dstPort >> 8), static_cast<std::uint8_t>(dstPort),
                      static_cast<std::uint8_t>(sequence >> 24), static_cast<std::uint8_t>(sequence >> 16),
                      static_cast<std::uint8_t>(sequence >> 8), static_cast<std::uint8_t>(sequence), 0, 0, 0, 0,
                      0x50, 0x18, 0xff, 0xff, 0, 0, 0, 0};
    segment.insert(segment.end(), payload.begin(), payload.end());
    sequence += static_cast<std::uint32_t>(payload.size());
    Add(time, fromCaller, segment, 6);
  }
  void Sip(double time, bool fromCaller, const std::string& text) {
    const Packet bytes(text.begin(), text.end());
    if (!plan_.sipOverTcp) {
      Udp(time, fromCaller, 5060, 5060, bytes);
      return;
    }
    // Split in the header, so neither half is a message.
    const auto half = static_cast<std::ptrdiff_t>(bytes.size() / 3);
    Tcp(time, fromCaller, fromCaller ? 50600 : 5060, fromCaller ? 5060 : 50600, Packet(bytes.begin(), bytes.begin() + half));
    Tcp(time + 0.0001, fromCaller, fromCaller ? 50600 : 5060, fromCaller ? 5060 : 50600,
        Packet(bytes.begin() + half, bytes.end()));
  }
  Packet Bytes() {
    std::stable_sort(frames_.begin(), frames_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [time, frame] : frames_) writer_.Add(time, frame);
    return writer_.bytes();
  }

 private:
  void Add(double time, bool fromCaller, const Packet& transport, std::uint8_t protocol) {
    const Host& src = fromCaller ? kAlice : kBob;
    const Host& dst = fromCaller ? kBob : kAlice;
    if (plan_.ipv6) {
      // The writer's IPv6 packets carry UDP; TCP calls in these tests are IPv4.
      frames_.emplace_back(time, Ipv6Packet(src.v6, dst.v6, transport));
    } else {
      frames_.emplace_back(time, Ipv4Packet(src.v4, dst.v4, transport, protocol, ++ipId_));
    }
  }
  const SipCallPlan& plan_;
  CaptureWriter writer_;
  std::vector<std::pair<double, Packet>> frames_;
  std::map<std::pair<bool, std::uint16_t>, std::uint32_t> sequences_;
  std::uint16_t ipId_ = 0;
};

std::string Address(const SipCallPlan& plan, const Host& host) {
  if (!plan.ipv6) {
    return std::to_string(host.v4[0]) + "." + std::to_string(host.v4[1]) + "." + std::to_string(host.v4[2]) + "." +
           std::to_string(host.v4[3]);
  }
  return "2001:db8::" + std::to_string(host.v6[15]);
}

std::string Sdp(const SipCallPlan& plan, const Host& host, std::uint16_t port) {
  const std::string family = plan.ipv6 ? "IP6 " : "IP4 ";
  std::string sdp = "v=0\r\no=- 1 1 IN " + family + Address(plan, host) + "\r\ns=-\r\nc=IN " + family +
                    Address(plan, host) + "\r\nt=0 0\r\nm=audio " + std::to_string(port) +
                    (plan.rtpOverTcp ? " TCP/RTP/AVP 0" : " RTP/AVP 0") + (plan.offerEvents ? " 101" : "") +
                    "\r\na=rtpmap:0 PCMU/8000\r\n";
  if (plan.offerEvents) sdp += "a=rtpmap:101 telephone-event/" + std::to_string(plan.eventClock) + "\r\n";
  return sdp;
}

// A request from the caller, or a response to one.
std::string Message(const std::string& startLine, const std::string& cseq, bool toTag, const std::string& contentType,
                    const std::string& body) {
  // Compact and odd-case field names, as some endpoints send them.
  std::string text = startLine + "\r\nVia: SIP/2.0/UDP pc33.example.com\r\n";
  text += "From: \"Alice\" <sip:alice@example.com>;tag=1928301774\r\n";
  text += std::string("t: <sip:bob@example.com>") + (toTag ? ";tag=a6c85cf" : "") + "\r\n";
  text += std::string("i: ") + kCallId + "\r\nCSeq: " + cseq + "\r\n";
  if (!contentType.empty()) text += "Content-Type: " + contentType + "\r\n";
  text += "content-length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return text;
}

// The caller is From in its requests; a request from the callee swaps them.
std::string CalleeRequest(const std::string& startLine, const std::string& cseq, const std::string& contentType,
                          const std::string& body) {
  return startLine + "\r\nVia: SIP/2.0/UDP bob.example.com\r\nFrom: <sip:bob@example.com>;tag=a6c85cf\r\n" +
         "To: \"Alice\" <sip:alice@example.com>;tag=1928301774\r\nCall-ID: " + kCallId + "\r\nCSeq: " + cseq +
         "\r\n" + (contentType.empty() ? "" : "Content-Type: " + contentType + "\r\n") +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void SendMedia(CallWriter& call, const SipCallPlan& plan, const DirectionPlan& direction, bool fromCaller,
               std::uint16_t srcPort, std::uint16_t dstPort, std::uint16_t movedDstPort) {
  const std::vector<std::int16_t> signal = KeySignal(direction.keys);
  const std::uint32_t ssrc = fromCaller ? 0x11110001 : 0x22220002;
  std::uint16_t sequence = fromCaller ? 1000 : 60000;
  const double scale = plan.eventClock / 8000.0;
  const auto send = [&](double time, std::uint8_t type, std::uint32_t timestamp, const Packet& payload) {
    const std::uint16_t port = time >= kAudioStart + 0.05 ? movedDstPort : dstPort;
    const Packet rtp = Rtp(type, sequence++, timestamp, ssrc, payload);
    if (plan.rtpOverTcp) {
      Packet framed = {static_cast<std::uint8_t>(rtp.size() >> 8), static_cast<std::uint8_t>(rtp.size())};
      framed.insert(framed.end(), rtp.begin(), rtp.end());
      call.Tcp(time, fromCaller, srcPort, port, framed);
    } else {
      call.Udp(time, fromCaller, srcPort, port, rtp);
    }
  };
  const int samples = std::max<int>(kCallSamples, static_cast<int>(signal.size()));
  std::size_t key = 0;
  for (int at = 0; at < samples; at += 160) {
    const double time = kAudioStart + at / 8000.0;
    Packet payload(160, 0xFF);
    if (direction.inBand && at + 160 <= static_cast<int>(signal.size())) {
      for (int i = 0; i < 160; ++i) payload[static_cast<std::size_t>(i)] = LinearToUlaw(signal[static_cast<std::size_t>(at + i)]);
    }
    send(time, 0, static_cast<std::uint32_t>(at), payload);
    // Events for the key that starts in or covers this packet.
    while (key < direction.keys.size() && KeyStart(key) + direction.eventSamples <= at) ++key;
    if (direction.events && key < direction.keys.size() && KeyStart(key) <= at) {
      const int into = at - KeyStart(key) + 160;
      const bool end = into >= direction.eventSamples;
      if (end && !direction.eventEnds) continue;
      const auto duration = static_cast<std::uint16_t>(std::min(into, direction.eventSamples) * scale);
      const auto timestamp = static_cast<std::uint32_t>(KeyStart(key) * scale);
      for (int copies = end ? 3 : 1; copies > 0; --copies) {
        send(time + 0.001, 101, timestamp, EventPayload(EventCode(direction.keys[key]), end, duration));
      }
    }
  }
  const std::string& infoKeys = direction.infoKeys.empty() ? direction.keys : direction.infoKeys;
  for (std::size_t k = 0; direction.info && k < infoKeys.size(); ++k) {
    const double time = kAudioStart + KeyStart(k) / 8000.0;
    // Field names in several letter cases and spacings, the last line without CR LF.
    const std::string key = infoKeys[k] == '*' ? "10" : infoKeys[k] == '#' ? "11" : std::string(1, infoKeys[k]);
    const std::string body = (k % 2 == 0 ? "Signal=" : "signal = ") + key + "\r\nDuration=" +
                             std::to_string(direction.eventSamples / 8);
    const std::string cseq = std::to_string(10 + k) + " INFO";
    const std::string text = fromCaller ? Message("INFO sip:bob@example.com SIP/2.0", cseq, true,
                                                  "application/dtmf-relay", body)
                                        : CalleeRequest("INFO sip:alice@example.com SIP/2.0", cseq,
                                                        "application/dtmf-relay", body);
    call.Sip(time, fromCaller, text);
    if (!plan.sipOverTcp) call.Sip(time + 0.5, fromCaller, text);  // a retransmission, one key still
  }
}

}  // namespace

Packet BuildSipCall(const SipCallPlan& plan) {
  CallWriter call(plan);
  const std::string invite = Message("INVITE sip:bob@example.com SIP/2.0", "1 INVITE", false,
                                     "application/sdp", Sdp(plan, kAlice, 40000));
  call.Sip(0.0, true, invite);
  call.Sip(0.1, false, Message("SIP/2.0 100 Trying", "1 INVITE", false, "", ""));
  if (plan.finalStatus != 200) {
    call.Sip(0.5, false, Message("SIP/2.0 " + std::to_string(plan.finalStatus) + " Busy Here", "1 INVITE", true, "", ""));
    call.Sip(0.6, true, Message("ACK sip:bob@example.com SIP/2.0", "1 ACK", true, "", ""));
    return call.Bytes();
  }
  call.Sip(0.5, false, Message("SIP/2.0 200 OK", "1 INVITE", true, "application/sdp", Sdp(plan, kBob, 50000)));
  call.Sip(0.6, true, Message("ACK sip:bob@example.com SIP/2.0", "1 ACK", true, "", ""));
  std::uint16_t calleePort = 50000;
  if (plan.reinvite) {
    calleePort = 50002;
    call.Sip(kAudioStart + 0.03, false,
             CalleeRequest("INVITE sip:alice@example.com SIP/2.0", "1 INVITE", "application/sdp", Sdp(plan, kBob, calleePort)));
    call.Sip(kAudioStart + 0.04, true, Message("SIP/2.0 200 OK", "1 INVITE", true, "", ""));
  }
  SendMedia(call, plan, plan.caller, true, 40000, 50000, calleePort);
  SendMedia(call, plan, plan.callee, false, calleePort, 40000, 40000);
  const double end = kAudioStart + std::max<double>(kCallSamples, KeyStart(8)) / 8000.0 + 0.5;
  call.Sip(end, true, Message("BYE sip:bob@example.com SIP/2.0", "2 BYE", true, "", ""));
  call.Sip(end + 0.1, false, Message("SIP/2.0 200 OK", "2 BYE", true, "", ""));
  return call.Bytes();
}

}  // namespace quorvane::testing
