#include "io/capture/payload_format.h"

#include <algorithm>
#include <cctype>

namespace quorvane::io {

std::optional<PayloadFormat> StaticPayloadFormat(std::uint8_t payloadType) {
  switch (payloadType) {
    case 0: return PayloadFormat{"PCMU", 8000, 1, ""};
    case 3: return PayloadFormat{"GSM", 8000, 1, ""};
    case 8: return PayloadFormat{"PCMA", 8000, 1, ""};
    // G.722 keeps the 8000 clock of its first RTP profile although it
    // samples at 16 kHz (RFC 3551 section 4.5.2).
    case 9: return PayloadFormat{"G722", 8000, 1, ""};
    case 10: return PayloadFormat{"L16", 44100, 2, ""};
    case 11: return PayloadFormat{"L16", 44100, 1, ""};
    case 18: return PayloadFormat{"G729", 8000, 1, ""};
    default: return std::nullopt;
  }
}

std::string CodecName(const PayloadFormat& format) {
  std::string name = format.encoding;
  name += '/';
  name += std::to_string(format.clockRate);
  if (format.channels > 1) {
    name += '/';
    name += std::to_string(format.channels);
  }
  return name;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string FmtpValue(std::string_view fmtp, std::string_view name) {
  while (!fmtp.empty()) {
    const std::size_t end = std::min(fmtp.find(';'), fmtp.size());
    std::string_view item = fmtp.substr(0, end);
    fmtp.remove_prefix(end == fmtp.size() ? end : end + 1);
    while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) item.remove_prefix(1);
    while (!item.empty() && std::isspace(static_cast<unsigned char>(item.back()))) item.remove_suffix(1);
    const std::size_t equals = item.find('=');
    if (!SameName(item.substr(0, equals), name)) continue;
    return equals == std::string_view::npos ? "1" : std::string(item.substr(equals + 1));
  }
  return "";
}

}  // namespace quorvane::io
