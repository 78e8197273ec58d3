#include "io/capture/payload_types.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "io/capture/payload_decoder.h"

namespace quorvane::io {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A SIP request line ends in "SIP/2.0", a response starts with it.
bool IsSip(std::string_view text) {
  const std::string_view firstLine = text.substr(0, text.find('\n'));
  std::string_view line = firstLine;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line.starts_with("SIP/2.0 ") || line.ends_with(" SIP/2.0");
}

PayloadKind KindOfEncoding(std::string_view name) {
  if (PayloadDecoder::Knows(name)) return PayloadKind::Decoded;
  if (EqualsIgnoringCase(name, "PCMU")) return PayloadKind::Pcmu;
  if (EqualsIgnoringCase(name, "PCMA")) return PayloadKind::Pcma;
  if (EqualsIgnoringCase(name, "telephone-event")) return PayloadKind::TelephoneEvent;
  return PayloadKind::Other;
}

}  // namespace

PayloadKind PayloadTypeMap::KindOf(std::uint8_t payloadType) const {
  if (payloadType < fromSdp_.size() && fromSdp_[payloadType] != PayloadKind::Unknown) return fromSdp_[payloadType];
  switch (payloadType) {
    case 0: return PayloadKind::Pcmu;
    case 8: return PayloadKind::Pcma;
    case 101: return PayloadKind::TelephoneEvent;
    case 3:
    case 9:
    case 18: return PayloadKind::Decoded;
    default: return PayloadKind::Unknown;
  }
}

std::shared_ptr<const PayloadFormat> PayloadTypeMap::FormatOf(std::uint8_t payloadType) const {
  if (payloadType < formats_.size() && formats_[payloadType]) return formats_[payloadType];
  if (std::optional<PayloadFormat> format = StaticPayloadFormat(payloadType)) {
    return std::make_shared<const PayloadFormat>(std::move(*format));
  }
  return nullptr;
}

void PayloadTypeMap::LearnFromSip(Bytes message) {
  const std::string_view text(reinterpret_cast<const char*>(message.data()), message.size());
  if (!IsSip(text)) return;
  constexpr std::string_view kRtpmap = "a=rtpmap:";
  for (std::size_t at = text.find(kRtpmap); at != std::string_view::npos; at = text.find(kRtpmap, at + 1)) {
    // "a=rtpmap:<type> <encoding>/<clock rate>[/<channels>]"
    const std::string_view rest = text.substr(at + kRtpmap.size());
    unsigned type = 0;
    const auto [afterType, error] = std::from_chars(rest.data(), rest.data() + rest.size(), type);
    if (error != std::errc() || type >= fromSdp_.size() || afterType == rest.data() + rest.size() || *afterType != ' ') {
      continue;
    }
    const std::string_view encoding = rest.substr(static_cast<std::size_t>(afterType + 1 - rest.data()));
    const std::size_t slash = encoding.find_first_of("/ \r\n");
    // Our timing assumes the 8 kHz clock; the same name at another rate
    // (telephone-event/48000 beside a wideband codec) is not ours to read.
    const bool at8k = slash != std::string_view::npos && encoding.substr(slash).starts_with("/8000") &&
                      (slash + 5 == encoding.size() || !std::isdigit(static_cast<unsigned char>(encoding[slash + 5])));
    const std::string_view name = encoding.substr(0, slash);
    fromSdp_[type] = at8k ? KindOfEncoding(name) : PayloadKind::Other;
    formats_[type].reset();
    if (slash == std::string_view::npos || encoding[slash] != '/') continue;
    // "/<clock>[/<channels>]"
    PayloadFormat format{std::string(name), 0, 1, ""};
    const char* end = encoding.data() + encoding.size();
    const auto clock = std::from_chars(encoding.data() + slash + 1, end, format.clockRate);
    if (clock.ec != std::errc() || format.clockRate == 0) continue;
    unsigned channels = 1;
    if (clock.ptr != end && *clock.ptr == '/' && std::from_chars(clock.ptr + 1, end, channels).ec == std::errc() &&
        channels >= 1 && channels <= 255) {
      format.channels = static_cast<std::uint8_t>(channels);
    }
    if (PayloadDecoder::Knows(name) && fromSdp_[type] == PayloadKind::Other) fromSdp_[type] = PayloadKind::Decoded;
    formats_[type] = std::make_shared<const PayloadFormat>(std::move(format));
  }
}

}  // namespace quorvane::io
