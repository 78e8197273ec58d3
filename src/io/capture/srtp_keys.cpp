#include "io/capture/srtp_keys.h"

#include <charconv>

#include "base/failure.h"
#include "io/capture/payload_format.h"
#include "io/capture/payload_types.h"

namespace quorvane::io {
namespace {

std::nullopt_t Refuse(std::string* error, std::string reason) {
  Fail(error, std::move(reason));
  return std::nullopt;
}

// Bounds against captures crafted to grow the book without end: calls whose
// answer has not been seen, and media endpoints remembered (a capture of
// many thousands of calls stays far below either).
constexpr std::size_t kMaxOffersHeld = 10000;
constexpr std::size_t kMaxSides = 200000;

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  while (!text.empty() && text.back() == '=') text.remove_suffix(1);
  std::vector<std::uint8_t> out;
  unsigned buffer = 0;
  int bits = 0;
  for (const char c : text) {
    int value = -1;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    if (value < 0) return std::nullopt;
    buffer = (buffer << 6 | static_cast<unsigned>(value)) & 0xFFFFFF;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(buffer >> bits & 0xFF));
    }
  }
  return out;
}

// Master key and salt lengths (RFC 3711, RFC 7714).
std::size_t KeySaltBytes(SrtpSuite suite) {
  switch (suite) {
    case SrtpSuite::AesCm128HmacSha1_80:
    case SrtpSuite::AesCm128HmacSha1_32: return 16 + 14;
    case SrtpSuite::AeadAes128Gcm: return 16 + 12;
    case SrtpSuite::AeadAes256Gcm: return 32 + 12;
  }
  return 0;
}

std::string_view CallIdOf(std::string_view message) {
  std::size_t at = 0;
  while (at < message.size()) {
    std::size_t end = message.find('\n', at);
    if (end == std::string_view::npos) end = message.size();
    std::string_view line = message.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // the headers end
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      std::string_view name = line.substr(0, colon);
      while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
      if (SameName(name, "Call-ID") || SameName(name, "i")) {
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return value;
      }
    }
    at = end + 1;
  }
  return "";
}

bool IsSecure(const SdpMedia& media) { return media.protocol.find("SAVP") != std::string::npos; }

}  // namespace

std::optional<SrtpSuite> ParseSrtpSuite(std::string_view name) {
  for (SrtpSuite suite : {SrtpSuite::AesCm128HmacSha1_80, SrtpSuite::AesCm128HmacSha1_32, SrtpSuite::AeadAes128Gcm,
                          SrtpSuite::AeadAes256Gcm}) {
    if (name == SrtpSuiteName(suite)) return suite;
  }
  return std::nullopt;
}

const char* SrtpSuiteName(SrtpSuite suite) {
  switch (suite) {
    case SrtpSuite::AesCm128HmacSha1_80: return "AES_CM_128_HMAC_SHA1_80";
    case SrtpSuite::AesCm128HmacSha1_32: return "AES_CM_128_HMAC_SHA1_32";
    case SrtpSuite::AeadAes128Gcm: return "AEAD_AES_128_GCM";
    case SrtpSuite::AeadAes256Gcm: return "AEAD_AES_256_GCM";
  }
  return "";
}

std::optional<SrtpKey> ParseSrtpKey(SrtpSuite suite, std::string_view base64) {
  std::optional<std::vector<std::uint8_t>> bytes = DecodeBase64(base64);
  if (!bytes || bytes->size() != KeySaltBytes(suite)) return std::nullopt;
  return SrtpKey{suite, std::move(*bytes)};
}

std::optional<ManualSrtpKey> ParseManualSrtpKey(std::string_view text, std::string* error) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) return Refuse(error, "expected SSRC:SUITE:BASE64KEY");
  std::string_view ssrcText = text.substr(0, first);
  int base = 10;
  if (ssrcText.starts_with("0x") || ssrcText.starts_with("0X")) {
    ssrcText.remove_prefix(2);
    base = 16;
  }
  ManualSrtpKey out;
  const auto parsed = std::from_chars(ssrcText.data(), ssrcText.data() + ssrcText.size(), out.ssrc, base);
  if (ssrcText.empty() || parsed.ec != std::errc() || parsed.ptr != ssrcText.data() + ssrcText.size()) {
    return Refuse(error, "not an SSRC: " + std::string(text.substr(0, first)));
  }
  const std::string_view suiteText = text.substr(first + 1, second - first - 1);
  const std::optional<SrtpSuite> suite = ParseSrtpSuite(suiteText);
  if (!suite) return Refuse(error, "unknown SRTP suite " + std::string(suiteText));
  std::optional<SrtpKey> key = ParseSrtpKey(*suite, text.substr(second + 1));
  if (!key) {
    return Refuse(error, "the key is not base64 of " + std::to_string(KeySaltBytes(*suite)) + " bytes");
  }
  out.key = std::move(*key);
  return out;
}

void SrtpKeyBook::LearnFromSip(std::string_view message) {
  if (!IsSip(message)) return;
  const std::optional<SessionDescription> sdp = ParseSdp(SipBody(message));
  if (!sdp) return;
  const std::string callId(CallIdOf(message));
  // The first description of a call is an offer, the next its answer; then
  // a new offer may come (re-INVITE, UPDATE).
  auto pending = offers_.find(callId);
  if (pending == offers_.end()) {
    if (offers_.size() >= kMaxOffersHeld) offers_.clear();
    Offer(*sdp, &offers_[callId]);
  } else {
    Answer(*sdp, pending->second);
    offers_.erase(pending);
  }
}

void SrtpKeyBook::Note(const SdpMedia& media, const SdpCrypto* crypto) {
  if (!media.connection || media.port == 0) return;
  Side side;
  side.secure = IsSecure(media) || crypto != nullptr;
  if (!side.secure) {
    sides_.erase(Endpoint{*media.connection, media.port});
    return;
  }
  if (crypto == nullptr) {
    side.reason = "SRTP whose keys are not in the capture's SDP (no a=crypto line; DTLS-SRTP keys cannot be read)";
  } else if (const std::optional<SrtpSuite> suite = ParseSrtpSuite(crypto->suite); !suite) {
    side.reason = "SRTP suite " + crypto->suite + " is not one we decrypt";
  } else if (std::optional<SrtpKey> key = ParseSrtpKey(*suite, crypto->keySaltBase64)) {
    side.key = std::move(key);
  } else {
    side.reason = "the SDP's " + crypto->suite + " key is not of its length";
  }
  if (sides_.size() >= kMaxSides) sides_.clear();
  sides_[Endpoint{*media.connection, media.port}] = std::move(side);
}

void SrtpKeyBook::Offer(const SessionDescription& sdp, std::vector<SdpMedia>* pending) {
  for (const SdpMedia& media : sdp.media) Note(media, media.cryptos.empty() ? nullptr : &media.cryptos.front());
  *pending = sdp.media;
}

void SrtpKeyBook::Answer(const SessionDescription& sdp, const std::vector<SdpMedia>& offer) {
  for (std::size_t i = 0; i < sdp.media.size(); ++i) {
    const SdpMedia& answer = sdp.media[i];
    Note(answer, answer.cryptos.empty() ? nullptr : &answer.cryptos.front());
    if (i >= offer.size() || answer.cryptos.empty()) continue;
    // The offerer sends with its crypto line of the tag the answer took.
    for (const SdpCrypto& crypto : offer[i].cryptos) {
      if (crypto.tag == answer.cryptos.front().tag) Note(offer[i], &crypto);
    }
  }
}

SrtpKeyBook::Lookup SrtpKeyBook::Find(std::uint32_t ssrc, const IpAddress& src, std::uint16_t srcPort,
                                      const IpAddress& dst, std::uint16_t dstPort) const {
  for (const ManualSrtpKey& manual : manual_) {
    if (manual.ssrc == ssrc) return Lookup{true, manual.key, ""};
  }
  const auto sender = sides_.find(Endpoint{src, srcPort});
  if (sender != sides_.end()) return Lookup{true, sender->second.key, sender->second.reason};
  const auto receiver = sides_.find(Endpoint{dst, dstPort});
  if (receiver != sides_.end()) {
    return Lookup{true, std::nullopt, "SRTP from an address no SDP of the capture names, so its key is unknown"};
  }
  return Lookup{};
}

}  // namespace quorvane::io
