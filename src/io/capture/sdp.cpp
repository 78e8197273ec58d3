#include "io/capture/sdp.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>

namespace quorvane::io {
namespace {

// The next space-separated word of `text`, taken off its front.
std::string_view TakeWord(std::string_view& text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    text = {};
    return {};
  }
  text.remove_prefix(start);
  const std::size_t end = std::min(text.find(' '), text.size());
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

template <typename Number>
std::optional<Number> NumberOf(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint8_t> PayloadTypeOf(std::string_view text) {
  const std::optional<unsigned> type = NumberOf<unsigned>(text);
  if (!type || *type > 127) return std::nullopt;
  return static_cast<std::uint8_t>(*type);
}

// "IN IP4 192.0.2.1[/ttl[/count]]" or "IN IP6 2001:db8::1".
std::optional<IpAddress> ConnectionOf(std::string_view text) {
  if (TakeWord(text) != "IN") return std::nullopt;
  const std::string_view type = TakeWord(text);
  std::string address(TakeWord(text));
  address = address.substr(0, address.find('/'));
  IpAddress ip;
  if (type == "IP4" && inet_pton(AF_INET, address.c_str(), ip.bytes.data()) == 1) {
    ip.family = 4;
    return ip;
  }
  if (type == "IP6" && inet_pton(AF_INET6, address.c_str(), ip.bytes.data()) == 1) {
    ip.family = 6;
    return ip;
  }
  return std::nullopt;
}

// "<media> <port>[/<count>] <proto> <fmt> ..."
std::optional<SdpMedia> MediaOf(std::string_view text) {
  SdpMedia media;
  media.media = TakeWord(text);
  const std::string_view portWord = TakeWord(text);
  const std::optional<std::uint16_t> port = NumberOf<std::uint16_t>(portWord.substr(0, portWord.find('/')));
  media.protocol = TakeWord(text);
  if (media.media.empty() || !port || media.protocol.empty()) return std::nullopt;
  media.port = *port;
  for (std::string_view word = TakeWord(text); !word.empty(); word = TakeWord(text)) {
    if (const std::optional<std::uint8_t> type = PayloadTypeOf(word); type && media.formats.size() < kMaxSdpAttributes) {
      media.formats.push_back(*type);
    }
  }
  return media;
}

// "<type> <encoding>/<clock>[/<channels>]"
std::optional<SdpRtpmap> RtpmapOf(std::string_view text) {
  SdpRtpmap map;
  const std::optional<std::uint8_t> type = PayloadTypeOf(TakeWord(text));
  std::string_view format = TakeWord(text);
  const std::size_t slash = format.find('/');
  if (!type || slash == std::string_view::npos || slash == 0) return std::nullopt;
  map.payloadType = *type;
  map.encoding = format.substr(0, slash);
  format.remove_prefix(slash + 1);
  const std::size_t second = format.find('/');
  const std::optional<std::uint32_t> clock = NumberOf<std::uint32_t>(format.substr(0, second));
  if (!clock || *clock == 0) return std::nullopt;
  map.clockRate = *clock;
  if (second != std::string_view::npos) {
    const std::optional<unsigned> channels = NumberOf<unsigned>(format.substr(second + 1));
    if (!channels || *channels == 0 || *channels > 255) return std::nullopt;
    map.channels = static_cast<std::uint8_t>(*channels);
  }
  return map;
}

// "<tag> <suite> <key-params>[;<key-params>...] [session params]": the
// first inline key, whatever lifetime or MKI follows it.
std::optional<SdpCrypto> CryptoOf(std::string_view text) {
  SdpCrypto crypto;
  const std::optional<std::uint32_t> tag = NumberOf<std::uint32_t>(TakeWord(text));
  crypto.suite = TakeWord(text);
  std::string_view keyParams = TakeWord(text);
  constexpr std::string_view kInline = "inline:";
  if (!tag || crypto.suite.empty() || !keyParams.starts_with(kInline)) return std::nullopt;
  keyParams.remove_prefix(kInline.size());
  crypto.tag = *tag;
  crypto.keySaltBase64 = keyParams.substr(0, keyParams.find_first_of("|;"));
  if (crypto.keySaltBase64.empty()) return std::nullopt;
  return crypto;
}

std::optional<SdpDirection> DirectionOf(std::string_view attribute) {
  if (attribute == "sendrecv") return SdpDirection::SendRecv;
  if (attribute == "sendonly") return SdpDirection::SendOnly;
  if (attribute == "recvonly") return SdpDirection::RecvOnly;
  if (attribute == "inactive") return SdpDirection::Inactive;
  return std::nullopt;
}

void AddAttribute(SdpMedia& media, std::string_view name, std::string_view value) {
  if (name == "rtpmap") {
    if (const std::optional<SdpRtpmap> map = RtpmapOf(value); map && media.rtpmaps.size() < kMaxSdpAttributes) {
      media.rtpmaps.push_back(*map);
    }
  } else if (name == "fmtp") {
    std::string_view rest = value;
    const std::optional<std::uint8_t> type = PayloadTypeOf(TakeWord(rest));
    const std::size_t start = rest.find_first_not_of(' ');
    if (type && media.fmtps.size() < kMaxSdpAttributes) {
      media.fmtps.emplace_back(*type, start == std::string_view::npos ? std::string() : std::string(rest.substr(start)));
    }
  } else if (name == "crypto") {
    if (const std::optional<SdpCrypto> crypto = CryptoOf(value); crypto && media.cryptos.size() < kMaxSdpAttributes) {
      media.cryptos.push_back(*crypto);
    }
  }
}

}  // namespace

const SdpRtpmap* SdpMedia::RtpmapOf(std::uint8_t payloadType) const {
  for (const SdpRtpmap& map : rtpmaps) {
    if (map.payloadType == payloadType) return &map;
  }
  return nullptr;
}

std::string_view SdpMedia::FmtpOf(std::uint8_t payloadType) const {
  for (const auto& [type, parameters] : fmtps) {
    if (type == payloadType) return parameters;
  }
  return {};
}

std::optional<SessionDescription> ParseSdp(std::string_view body) {
  SessionDescription session;
  std::optional<SdpDirection> sessionDirection;
  // Per media: whether its own c= and direction lines were seen.
  std::vector<bool> ownConnection;
  std::vector<bool> ownDirection;
  bool first = true;
  bool skipping = false;  // inside a media section past the limit
  while (!body.empty()) {
    const std::size_t end = std::min(body.find('\n'), body.size());
    std::string_view line = body.substr(0, end);
    body.remove_prefix(std::min(end + 1, body.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != "v=0") return std::nullopt;
      first = false;
      continue;
    }
    if (line.size() < 2 || line[1] != '=') continue;
    const char type = line[0];
    const std::string_view value = line.substr(2);
    if (type == 'm') {
      skipping = session.media.size() >= kMaxSdpMedia;
      if (skipping) continue;
      std::optional<SdpMedia> media = MediaOf(value);
      // A malformed media line still opens a section, so its attributes
      // do not land on the one before.
      session.media.push_back(media ? std::move(*media) : SdpMedia{});
      ownConnection.push_back(false);
      ownDirection.push_back(false);
      continue;
    }
    if (skipping) continue;
    SdpMedia* media = session.media.empty() ? nullptr : &session.media.back();
    if (type == 'c') {
      const std::optional<IpAddress> address = ConnectionOf(value);
      if (!address) continue;
      if (media) {
        media->connection = address;
        ownConnection.back() = true;
      } else {
        session.connection = address;
      }
    } else if (type == 'a') {
      const std::size_t colon = value.find(':');
      const std::string_view name = value.substr(0, colon);
      if (const std::optional<SdpDirection> direction = DirectionOf(name)) {
        if (media) {
          media->direction = *direction;
          ownDirection.back() = true;
        } else {
          sessionDirection = direction;
        }
      } else if (media && colon != std::string_view::npos) {
        AddAttribute(*media, name, value.substr(colon + 1));
      }
    }
  }
  if (first) return std::nullopt;
  // Session-level lines hold for every media that names none of its own.
  for (std::size_t i = 0; i < session.media.size(); ++i) {
    if (!ownConnection[i]) session.media[i].connection = session.connection;
    if (!ownDirection[i] && sessionDirection) session.media[i].direction = *sessionDirection;
  }
  // A malformed media line's placeholder carries nothing to read.
  std::erase_if(session.media, [](const SdpMedia& media) { return media.media.empty(); });
  return session;
}

}  // namespace quorvane::io
