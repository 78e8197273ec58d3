// Audio of one RTP payload format as 16-bit mono samples at the codec's own
// rate: RFC depacketising here, the decoding itself by libavcodec (L16 needs
// none). Made for one format; it keeps the decoder's state from payload to
// payload, so one stream's payloads go through it in order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/capture/packet_parse.h"
#include "io/capture/payload_format.h"

namespace quorvane::io {

class PayloadDecoder {
 public:
  virtual ~PayloadDecoder() = default;

  // A decoder for `format`, or null with the reason (an encoding we have no
  // decoder for, parameters it cannot take).
  static std::unique_ptr<PayloadDecoder> Make(const PayloadFormat& format, std::string* error);

  // Whether Make knows the encoding's name (it may still refuse its parameters).
  static bool Knows(std::string_view encoding);

  // Samples per second of the decoded audio (G.722: 16000 on its 8000 clock).
  int Rate() const { return rate_; }
  // RTP clock ticks per decoded sample are clockRate / Rate().
  std::uint32_t ClockRate() const { return clockRate_; }

  // Appends the payload's audio to `out`. Frames the codec marks as comfort
  // noise or "no data" come out as silence of their length; a frame the
  // library refuses gives nothing, so the gap it leaves is filled from the
  // timestamps like a lost packet.
  virtual void Decode(Bytes payload, std::vector<std::int16_t>& out) = 0;

 protected:
  PayloadDecoder(int rate, std::uint32_t clockRate) : rate_(rate), clockRate_(clockRate) {}

 private:
  int rate_;
  std::uint32_t clockRate_;
};

}  // namespace quorvane::io
