// Captures of one RTP stream in each codec a call may carry, encoded for
// the tests by libavcodec's encoders and the reference encoders Debian
// ships (bcg729, opencore-amrnb, vo-amrwbenc).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/capture_writer.h"

namespace quorvane::testing {

enum class TestCodec { G722, G726, Aal2G726, Gsm, G729, Opus, AmrOctetAligned, AmrWbBandwidthEfficient, L16 };

struct CodecPlan {
  TestCodec codec;
  std::uint8_t payloadType;
  std::string rtpmap;  // "" for a static type sent without SDP (as a desk phone sends G.722)
  std::string fmtp;
  std::string codecName;  // what the stream's JSON calls it
  int decodedRate;
  std::uint32_t clock;    // RTP ticks per second
};

extern const std::vector<CodecPlan> kCodecPlans;

struct SentPayload {
  std::uint32_t ticks;  // RTP timestamp from the stream's start
  Packet payload;
};

// 8 kHz audio encoded in the plan's codec, as RTP payloads with their
// timestamps; untransmitted stretches (G.729 Annex B) send nothing.
std::vector<SentPayload> EncodePayloads(const CodecPlan& plan, const std::vector<std::int16_t>& audio);

// The SIP INVITE mapping the type (when the plan has an rtpmap), then the
// payloads from 192.0.2.1:4000 to 192.0.2.2:5000, SSRC 0x600df00d, over
// Ethernet. `protect`, when given, changes each RTP packet before it is
// sent (SRTP); `sip` replaces the INVITE.
Packet CodecCapture(const CodecPlan& plan, const std::vector<SentPayload>& payloads,
                    const std::function<void(Packet&)>& protect = {}, const std::vector<std::string>& sip = {});

// An RTP packet protected by libsrtp2 with a suite (by its SDP name) and
// key and salt; each Protector keeps its stream's rollover state.
class SrtpProtector {
 public:
  SrtpProtector(const std::string& suite, const Packet& keySalt, std::uint32_t ssrc);
  ~SrtpProtector();
  void operator()(Packet& rtp);

 private:
  void* session_;
};

// 8 kHz mu-law bytes as linear samples.
std::vector<std::int16_t> UlawSamples(const Packet& bytes);

}  // namespace quorvane::testing
