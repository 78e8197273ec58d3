#include "io/call_capture.h"

#include <algorithm>
#include <cmath>

#include "codec/alaw.h"
#include "codec/ulaw.h"
#include "dtmf/dtmf_test_signals.h"

namespace quorvane::testing {
namespace {

// A sine at -10 dBm0: 0 dBm0 is 3.17 dB below the mu-law peak.
const double kPeak = 32635.0 * std::pow(10.0, (-10.0 - 3.17) / 20.0);

std::uint8_t EventCode(char key) { return static_cast<std::uint8_t>(std::string("0123456789*#ABCD").find(key)); }

struct Sent {
  double time;
  Packet rtp;
  bool audio;
  bool silent;  // an audio packet holding only silence
};

// Audio every 20 ms and, for each key, event packets every 20 ms from its
// start, the end packet sent three times; in sending (sequence) order.
std::vector<Sent> SendStream(const StreamPlan& plan, const std::vector<std::int16_t>& signal) {
  std::vector<Sent> sent;
  for (std::size_t at = 0; at < signal.size(); at += 160) {
    Packet payload;
    bool silent = true;
    for (std::size_t i = at; i < at + 160; ++i) {
      payload.push_back(plan.alaw ? LinearToAlaw(signal[i]) : LinearToUlaw(signal[i]));
      silent = silent && signal[i] == 0;
    }
    sent.push_back({at / 8000.0, payload, true, silent});
  }
  for (std::size_t k = 0; k < plan.keys.size(); ++k) {
    for (int j = 0; j < 6; ++j) {
      const bool end = j >= 3;
      const auto duration = static_cast<std::uint16_t>(end ? kTone : 160 * (j + 1));
      Packet event = EventPayload(EventCode(plan.keys[k]), end, duration);
      event.push_back(static_cast<std::uint8_t>(k));  // marks the press for the timestamp below; dropped again
      sent.push_back({KeyStart(k) / 8000.0 + 0.02 * j + 0.001, event, false, false});
    }
  }
  std::stable_sort(sent.begin(), sent.end(), [](const Sent& a, const Sent& b) { return a.time < b.time; });
  std::uint16_t sequence = plan.firstSequence;
  for (Sent& s : sent) {
    std::uint32_t offset = static_cast<std::uint32_t>(std::lround(s.time * 8000.0));
    if (!s.audio) {
      offset = static_cast<std::uint32_t>(KeyStart(s.rtp.back()));
      s.rtp.pop_back();
    }
    s.rtp = Rtp(s.audio ? plan.audioType : plan.eventType, sequence++, plan.firstTimestamp + offset, plan.ssrc, s.rtp);
  }
  return sent;
}

}  // namespace

std::vector<std::int16_t> KeySignal(const std::string& keys) {
  // Whole 20 ms packets.
  std::vector<std::int16_t> signal(static_cast<std::size_t>((KeyStart(keys.size()) + 159) / 160 * 160), 0);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::vector<std::int16_t> tone = DualTone(keys[k], kPeak, kTone);
    std::copy(tone.begin(), tone.end(), signal.begin() + KeyStart(k));
  }
  return signal;
}

const StreamPlan kCaller = {{10, 0, 0, 1}, {10, 0, 0, 2}, 40000, 50000, 0x0A0B0C0D, 0, 101, false, 1000,
                            0xFFFFF000u, "1234"};
const StreamPlan kCallee = {{10, 0, 0, 2}, {10, 0, 0, 1}, 50000, 40000, 0xCAFE0001, 97, 100, true, 65530, 123456,
                            "5#9D"};

CallCapture BuildCall(CaptureFormat format, int vlanTags) {
  std::vector<Sent> caller = SendStream(kCaller, KeySignal(kCaller.keys));
  std::vector<Sent> callee = SendStream(kCallee, KeySignal(kCallee.keys));
  CallCapture call{{}, caller.size(), callee.size()};

  int dropped = 0;
  for (std::size_t i = 2; i < caller.size() && dropped < 2; ++i) {
    if (caller[i].silent && (dropped == 0 || i > 12)) {
      caller.erase(caller.begin() + static_cast<std::ptrdiff_t>(i));
      ++dropped;
    }
  }
  caller.insert(caller.begin() + 20, caller[19]);
  std::rotate(caller.begin() + 30, caller.begin() + 31, caller.begin() + 34);  // 30 arrives after 33
  std::swap(callee[5], callee[6]);  // sequence numbers 65535 and 0

  // Each direction keeps its own send times; arrival order interleaves them.
  struct Frame {
    double time;
    Packet udp;
    const StreamPlan* plan;
  };
  std::vector<Frame> frames;
  for (std::size_t i = 0; i < caller.size(); ++i) {
    frames.push_back({0.5 + 0.0001 * static_cast<double>(i) * 200, Udp(kCaller.srcPort, kCaller.dstPort, caller[i].rtp), &kCaller});
  }
  for (std::size_t i = 0; i < callee.size(); ++i) {
    frames.push_back({0.5 + 0.0001 * static_cast<double>(i) * 200 + 0.00005, Udp(kCallee.srcPort, kCallee.dstPort, callee[i].rtp), &kCallee});
  }
  std::stable_sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.time < b.time; });

  CaptureWriter writer(format, kLinkEthernet);
  writer.Add(0.1, Ethernet(Ipv4Packet(kCaller.src, kCaller.dst,
                                       Udp(5060, 5060, SipInvite({"97 PCMA/8000", "100 telephone-event/8000"}))),
                           vlanTags));
  for (const Frame& f : frames) writer.Add(f.time, Ethernet(Ipv4Packet(f.plan->src, f.plan->dst, f.udp), vlanTags));
  call.bytes = writer.bytes();
  return call;
}


}  // namespace quorvane::testing

