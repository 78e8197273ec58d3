// What each RTP payload type carries in this capture: the static types,
// then whatever SIP/SDP seen so far mapped the dynamic ones to.
#pragma once

#include <array>
#include <memory>
#include <string_view>
#include <cstdint>

#include "io/capture/packet_parse.h"
#include "io/capture/payload_format.h"

namespace quorvane::io {

// Decoded: audio of another codec, read through a PayloadDecoder.
enum class PayloadKind : std::uint8_t { Unknown, Pcmu, Pcma, TelephoneEvent, Decoded, Other };

// What an rtpmap's encoding name carries, whatever its letter case.
PayloadKind KindOfEncoding(std::string_view name);

// A SIP request line ends in "SIP/2.0", a response starts with it.
bool IsSip(std::string_view text);
// What follows a SIP message's empty line, "" when none does.
std::string_view SipBody(std::string_view message);

class PayloadTypeMap {
 public:
  // PCMU for 0, PCMA for 8, telephone-event for 101, the static types we
  // decode (3 GSM, 9 G.722, 18 G.729), unless SDP said otherwise.
  PayloadKind KindOf(std::uint8_t payloadType) const;
  // The format SDP gave the type, else its static one; null when neither.
  std::shared_ptr<const PayloadFormat> FormatOf(std::uint8_t payloadType) const;
  // Learns the rtpmap and fmtp lines of a SIP message's SDP body. One map
  // serves the whole capture, so a later offer that reuses a number wins.
  void LearnFromSip(Bytes message);

 private:
  std::array<PayloadKind, 128> fromSdp_{};  // Unknown: no SDP mentioned it
  std::array<std::shared_ptr<const PayloadFormat>, 128> formats_;  // as SDP gave them
};

}  // namespace quorvane::io
