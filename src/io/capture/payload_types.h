// What each RTP payload type carries in this capture: the static types,
// then whatever SIP/SDP seen so far mapped the dynamic ones to.
#pragma once

#include <array>
#include <cstdint>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

enum class PayloadKind : std::uint8_t { Unknown, Pcmu, Pcma, TelephoneEvent, Other };

class PayloadTypeMap {
 public:
  // PCMU for 0, PCMA for 8, telephone-event for 101 unless SDP said otherwise.
  PayloadKind KindOf(std::uint8_t payloadType) const;
  // Learns the a=rtpmap lines of a SIP message's SDP body. One map serves
  // the whole capture, so a later offer that reuses a number wins.
  void LearnFromSip(Bytes message);

 private:
  std::array<PayloadKind, 128> fromSdp_{};  // Unknown: no SDP mentioned it
};

}  // namespace quorvane::io
