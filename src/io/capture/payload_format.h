// What an RTP payload type carries: the encoding, its RTP clock and
// channels as an rtpmap names them, and the fmtp parameters that change
// how its payloads are packed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::io {

struct PayloadFormat {
  std::string encoding;         // as the rtpmap writes it: "G722", "opus", "AMR-WB"
  std::uint32_t clockRate = 8000;
  std::uint8_t channels = 1;
  std::string fmtp;             // the a=fmtp parameters as written, "" when none
};

// The format RFC 3551 gives a static payload type, or nothing (dynamic and
// unassigned types, and the static ones we have no decoder for).
std::optional<PayloadFormat> StaticPayloadFormat(std::uint8_t payloadType);

// "G722/8000", "opus/48000/2": encoding/clock, and /channels past one.
std::string CodecName(const PayloadFormat& format);

// The value of `name` in fmtp parameters "a=1; b=2" (names without case),
// "" when absent; a name written alone gives "1".
std::string FmtpValue(std::string_view fmtp, std::string_view name);

bool SameName(std::string_view a, std::string_view b);

}  // namespace quorvane::io
