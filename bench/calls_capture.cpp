// Writes the calls benchmark's capture: G.711 calls, about fifty at once,
// each with SIP over UDP, a minute of audio both ways (noise shaped like
// speech) and ten keys sent on all three paths: in-band tone, RFC 4733
// events and SIP INFO. Usage: quorvane_calls_capture BYTES OUT.pcap
#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "codec/ulaw.h"

namespace {

constexpr int kSlotSamples = 160;                  // 20 ms packets
constexpr int kCallSlots = 3060;                   // INVITE to the BYE's answer
constexpr int kMediaStart = 30;                    // first RTP slot
constexpr int kMediaSlots = 3000;                  // 60 s both ways
constexpr int kStartEvery = 60;                    // a call begins every 1.2 s
constexpr int kKeys = 10;
constexpr int KeySlot(int k) { return kMediaStart + 250 + k * 250; }  // a key every 5 s
constexpr int kToneSlots = 5;                      // 100 ms
constexpr const char* kKeyNames = "1234567890";

class Writer {
 public:
  explicit Writer(std::FILE* file) : file_(file) {
    const std::uint32_t header[] = {0xa1b2c3d4, 0x00040002, 0, 0, 65535, 1};
    Put(header, sizeof header);
  }
  ~Writer() { Flush(); }
  std::uint64_t written() const { return written_; }

  void Udp(double time, std::uint32_t src, std::uint32_t dst, std::uint16_t srcPort, std::uint16_t dstPort,
           const std::uint8_t* payload, std::size_t size) {
    const std::size_t frame = 14 + 20 + 8 + size;
    const std::uint32_t seconds = static_cast<std::uint32_t>(time);
    const std::uint32_t record[] = {seconds, static_cast<std::uint32_t>((time - seconds) * 1e6), static_cast<std::uint32_t>(frame),
                                    static_cast<std::uint32_t>(frame)};
    Put(record, sizeof record);
    std::uint8_t head[42] = {0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 6, 0x08, 0x00,  // Ethernet, IPv4
                             0x45, 0, 0, 0, 0, 0, 0, 0, 64, 17, 0, 0};
    Be16(head + 16, static_cast<std::uint16_t>(20 + 8 + size));
    Be32(head + 26, src);
    Be32(head + 30, dst);
    Be16(head + 34, srcPort);
    Be16(head + 36, dstPort);
    Be16(head + 38, static_cast<std::uint16_t>(8 + size));
    Put(head, sizeof head);
    Put(payload, size);
  }

 private:
  static void Be16(std::uint8_t* p, std::uint16_t v) { p[0] = static_cast<std::uint8_t>(v >> 8); p[1] = static_cast<std::uint8_t>(v); }
  static void Be32(std::uint8_t* p, std::uint32_t v) { Be16(p, static_cast<std::uint16_t>(v >> 16)); Be16(p + 2, static_cast<std::uint16_t>(v)); }
  void Put(const void* data, std::size_t size) {
    if (used_ + size > buffer_.size()) Flush();
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
    written_ += size;
  }
  void Flush() {
    if (std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
      std::perror("write");
      std::exit(1);
    }
    used_ = 0;
  }
  std::FILE* file_;
  std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(4u << 20);
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
};

struct RtpPacket {
  std::array<std::uint8_t, 12 + 160> bytes;
  std::size_t size;
  const std::uint8_t* data() const { return bytes.data(); }
};

RtpPacket Rtp(std::uint8_t type, bool marker, std::uint16_t sequence, std::uint32_t timestamp, std::uint32_t ssrc,
              const std::uint8_t* payload, std::size_t size) {
  RtpPacket packet{};
  const std::uint8_t header[12] = {0x80, static_cast<std::uint8_t>(type | (marker ? 0x80 : 0)),
                                   static_cast<std::uint8_t>(sequence >> 8), static_cast<std::uint8_t>(sequence),
                                   static_cast<std::uint8_t>(timestamp >> 24), static_cast<std::uint8_t>(timestamp >> 16),
                                   static_cast<std::uint8_t>(timestamp >> 8), static_cast<std::uint8_t>(timestamp),
                                   static_cast<std::uint8_t>(ssrc >> 24), static_cast<std::uint8_t>(ssrc >> 16),
                                   static_cast<std::uint8_t>(ssrc >> 8), static_cast<std::uint8_t>(ssrc)};
  std::memcpy(packet.bytes.data(), header, 12);
  std::memcpy(packet.bytes.data() + 12, payload, std::min<std::size_t>(size, 160));
  packet.size = 12 + std::min<std::size_t>(size, 160);
  return packet;
}

std::string Ip(std::uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." + std::to_string(a >> 8 & 255) + "." +
         std::to_string(a & 255);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quorvane_calls_capture BYTES OUT.pcap\n");
    return 2;
  }
  const double target = std::strtod(argv[1], nullptr);
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  // Speech-like noise: Gaussian, its level following a syllable-rate
  // envelope between -45 and -20 dBm0; 8.192 s, read from a different place by each call.
  constexpr int kNoise = 65536;
  std::vector<std::uint8_t> noise(kNoise);
  std::mt19937 random(12345);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (int i = 0; i < kNoise; ++i) {
    const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 4.0 * i / 8000.0) * std::sin(2 * std::numbers::pi * 0.3 * i / 8000.0);
    const double rms = 2300.0 * std::pow(10.0, (-45.0 + 25.0 * envelope) / 20.0) * 3.1;
    noise[i] = quorvane::LinearToUlaw(static_cast<std::int16_t>(std::lround(std::clamp(gauss(random) * rms, -32000.0, 32000.0))));
  }
  // Each key's 100 ms of tone at -10 dBm0 per tone, in mu-law.
  const double rows[] = {697, 770, 852, 941};
  const double cols[] = {1209, 1336, 1477};
  const char* layout = "123456789*0#";
  std::vector<std::vector<std::uint8_t>> tones;
  for (int k = 0; k < kKeys; ++k) {
    const int at = static_cast<int>(std::string(layout).find(kKeyNames[k]));
    const double amplitude = 32635.0 * std::pow(10.0, (-10.0 - 3.17) / 20.0);
    std::vector<std::uint8_t> tone(kToneSlots * kSlotSamples);
    for (std::size_t n = 0; n < tone.size(); ++n) {
      const double t = static_cast<double>(n) / 8000.0;
      tone[n] = quorvane::LinearToUlaw(static_cast<std::int16_t>(
          std::lround(amplitude * (std::sin(2 * std::numbers::pi * rows[at / 3] * t) + std::sin(2 * std::numbers::pi * cols[at % 3] * t)))));
    }
    tones.push_back(std::move(tone));
  }

  constexpr double kBytesPerCall = 2.0 * kMediaSlots * (16 + 42 + 12 + 160);
  const int calls = std::max(1, static_cast<int>(std::ceil(target / kBytesPerCall)));
  Writer out(file);
  // The caller's audio and events share one SSRC, so one sequence counter.
  std::vector<std::uint16_t> callerSequence(static_cast<std::size_t>(calls));
  const int lastSlot = (calls - 1) * kStartEvery + kCallSlots;
  for (int slot = 0; slot <= lastSlot; ++slot) {
    const double time = 1.7e9 + slot * 0.02;
    const int first = std::max(0, (slot - kCallSlots) / kStartEvery);
    for (int call = first; call < calls && call * kStartEvery <= slot; ++call) {
      const int m = slot - call * kStartEvery;
      if (m > kCallSlots) continue;
      const std::uint32_t caller = 0x0a010000u + static_cast<std::uint32_t>(call % 65000);
      const std::uint32_t callee = 0x0a020000u + static_cast<std::uint32_t>(call % 65000);
      const std::uint16_t callerPort = static_cast<std::uint16_t>(20000 + 2 * (call % 10000));
      const std::uint16_t calleePort = static_cast<std::uint16_t>(40000 + 2 * (call % 10000));
      const std::string callId = "bench-" + std::to_string(call) + "@example.com";
      const auto sip = [&](bool fromCaller, const std::string& text) {
        out.Udp(time + 0.001, fromCaller ? caller : callee, fromCaller ? callee : caller, 5060, 5060,
                reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
      };
      const auto message = [&](const std::string& start, const std::string& cseq, bool toTag, const std::string& type,
                               const std::string& body) {
        return start + "\r\nVia: SIP/2.0/UDP " + Ip(caller) + "\r\nFrom: <sip:caller" + std::to_string(call) + "@" +
               Ip(caller) + ">;tag=c" + std::to_string(call) + "\r\nTo: <sip:ivr@" + Ip(callee) + ">" +
               (toTag ? ";tag=s" + std::to_string(call) : "") + "\r\nCall-ID: " + callId + "\r\nCSeq: " + cseq +
               "\r\n" + (type.empty() ? "" : "Content-Type: " + type + "\r\n") +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
      };
      const auto sdp = [&](std::uint32_t host, std::uint16_t port) {
        return "v=0\r\no=- 1 1 IN IP4 " + Ip(host) + "\r\ns=-\r\nc=IN IP4 " + Ip(host) + "\r\nt=0 0\r\nm=audio " +
               std::to_string(port) + " RTP/AVP 0 101\r\na=rtpmap:0 PCMU/8000\r\na=rtpmap:101 telephone-event/8000\r\n";
      };
      if (m == 0) sip(true, message("INVITE sip:ivr@" + Ip(callee) + " SIP/2.0", "1 INVITE", false, "application/sdp", sdp(caller, callerPort)));
      if (m == 5) sip(false, message("SIP/2.0 100 Trying", "1 INVITE", false, "", ""));
      if (m == 25) sip(false, message("SIP/2.0 200 OK", "1 INVITE", true, "application/sdp", sdp(callee, calleePort)));
      if (m == 26) sip(true, message("ACK sip:ivr@" + Ip(callee) + " SIP/2.0", "1 ACK", true, "", ""));
      if (m == kMediaStart + kMediaSlots + 10) sip(true, message("BYE sip:ivr@" + Ip(callee) + " SIP/2.0", "2 BYE", true, "", ""));
      if (m == kMediaStart + kMediaSlots + 15) sip(false, message("SIP/2.0 200 OK", "2 BYE", true, "", ""));
      if (m < kMediaStart || m >= kMediaStart + kMediaSlots) continue;
      const int media = m - kMediaStart;
      const auto timestamp = static_cast<std::uint32_t>(media * kSlotSamples);
      const std::uint16_t sequence = static_cast<std::uint16_t>(media + call);
      int key = -1;
      for (int k = 0; k < kKeys; ++k) {
        if (m >= KeySlot(k) && m < KeySlot(k) + kToneSlots) key = k;
      }
      const std::uint8_t* callerAudio = key >= 0 ? tones[static_cast<std::size_t>(key)].data() + (m - KeySlot(key)) * kSlotSamples
                                                 : noise.data() + (media * kSlotSamples + call * 4000) % (kNoise - kSlotSamples);
      const std::uint8_t* calleeAudio = noise.data() + (media * kSlotSamples + call * 9000 + 20000) % (kNoise - kSlotSamples);
      std::uint16_t& upSequence = callerSequence[static_cast<std::size_t>(call)];
      const RtpPacket up = Rtp(0, media == 0, upSequence++, timestamp, 0x10000000u + static_cast<std::uint32_t>(call), callerAudio, kSlotSamples);
      out.Udp(time, caller, callee, callerPort, calleePort, up.data(), up.size);
      const RtpPacket down = Rtp(0, media == 0, sequence, timestamp, 0x20000000u + static_cast<std::uint32_t>(call), calleeAudio, kSlotSamples);
      out.Udp(time, callee, caller, calleePort, callerPort, down.data(), down.size);
      if (key >= 0) {
        const int j = m - KeySlot(key);
        const bool end = j == kToneSlots - 1;
        const std::uint16_t duration = static_cast<std::uint16_t>((j + 1) * kSlotSamples);
        const std::uint8_t event[4] = {static_cast<std::uint8_t>(kKeyNames[key] - '0'), static_cast<std::uint8_t>(end ? 0x8a : 0x0a),
                                       static_cast<std::uint8_t>(duration >> 8), static_cast<std::uint8_t>(duration)};
        const auto start = static_cast<std::uint32_t>((KeySlot(key) - kMediaStart) * kSlotSamples);
        for (int copies = end ? 3 : 1; copies > 0; --copies) {
          const RtpPacket packet = Rtp(101, j == 0, upSequence++, start,
                                                       0x10000000u + static_cast<std::uint32_t>(call), event, 4);
          out.Udp(time + 0.0005, caller, callee, callerPort, calleePort, packet.data(), packet.size);
        }
        if (j == 0) {
          sip(true, message("INFO sip:ivr@" + Ip(callee) + " SIP/2.0", std::to_string(10 + key) + " INFO", true,
                            "application/dtmf-relay", std::string("Signal=") + kKeyNames[key] + "\r\nDuration=100\r\n"));
        }
      }
    }
  }
  std::fprintf(stderr, "%d calls, %llu bytes\n", calls, static_cast<unsigned long long>(out.written()));
  return 0;
}
