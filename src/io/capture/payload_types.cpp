#include "io/capture/payload_types.h"

#include <string_view>

#include "io/capture/payload_decoder.h"
#include "io/capture/sdp.h"

namespace quorvane::io {
bool IsSip(std::string_view text) {
  const std::string_view firstLine = text.substr(0, text.find('\n'));
  std::string_view line = firstLine;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line.starts_with("SIP/2.0 ") || line.ends_with(" SIP/2.0");
}

PayloadKind KindOfEncoding(std::string_view name) {
  if (PayloadDecoder::Knows(name)) return PayloadKind::Decoded;
  if (SameName(name, "PCMU")) return PayloadKind::Pcmu;
  if (SameName(name, "PCMA")) return PayloadKind::Pcma;
  if (SameName(name, "telephone-event")) return PayloadKind::TelephoneEvent;
  return PayloadKind::Other;
}

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
  const std::optional<SessionDescription> sdp = ParseSdp(SipBody(text));
  if (!sdp) return;
  for (const SdpMedia& media : sdp->media) {
    for (const SdpRtpmap& map : media.rtpmaps) {
      if (map.payloadType >= fromSdp_.size()) continue;
      PayloadKind kind = KindOfEncoding(map.encoding);
      // G.711 is read on its 8 kHz clock only; the same name at another
      // rate is not the codec we know.
      if ((kind == PayloadKind::Pcmu || kind == PayloadKind::Pcma) && map.clockRate != 8000) kind = PayloadKind::Other;
      fromSdp_[map.payloadType] = kind;
      formats_[map.payloadType].reset();
      if (map.clockRate == 0) continue;
      formats_[map.payloadType] = std::make_shared<const PayloadFormat>(
          PayloadFormat{map.encoding, map.clockRate, map.channels, std::string(media.FmtpOf(map.payloadType))});
    }
  }
}

std::string_view SipBody(std::string_view message) {
  const std::size_t crlf = message.find("\r\n\r\n");
  if (crlf != std::string_view::npos) return message.substr(crlf + 4);
  const std::size_t lf = message.find("\n\n");
  return lf == std::string_view::npos ? std::string_view() : message.substr(lf + 2);
}

}  // namespace quorvane::io
