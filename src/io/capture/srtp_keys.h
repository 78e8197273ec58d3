// The keys of a capture's SRTP streams: given by hand per SSRC, or learnt
// from the SDES a=crypto lines (RFC 4568) of the capture's SIP. Each side
// sends with the key of its own SDP; where an offer lists several, the
// answer's tag says which. A side is found by the address and port its
// SDP names, which is where it sends from (symmetric RTP).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/capture/packet_parse.h"
#include "io/capture/sdp.h"

namespace quorvane::io {

enum class SrtpSuite : std::uint8_t { AesCm128HmacSha1_80, AesCm128HmacSha1_32, AeadAes128Gcm, AeadAes256Gcm };

struct SrtpKey {
  SrtpSuite suite = SrtpSuite::AesCm128HmacSha1_80;
  std::vector<std::uint8_t> keySalt;  // master key then master salt, of the suite's lengths
};

// "AES_CM_128_HMAC_SHA1_80", "AES_CM_128_HMAC_SHA1_32", "AEAD_AES_128_GCM", "AEAD_AES_256_GCM".
std::optional<SrtpSuite> ParseSrtpSuite(std::string_view name);
const char* SrtpSuiteName(SrtpSuite suite);
// A key of `suite` from its base64 text, or nothing when the text is not
// base64 or not the suite's key and salt lengths.
std::optional<SrtpKey> ParseSrtpKey(SrtpSuite suite, std::string_view base64);

// --srtp-key SSRC:SUITE:BASE64KEY (SSRC in hex with or without 0x, or decimal).
struct ManualSrtpKey {
  std::uint32_t ssrc = 0;
  SrtpKey key;
};
std::optional<ManualSrtpKey> ParseManualSrtpKey(std::string_view text, std::string* error);

class SrtpKeyBook {
 public:
  explicit SrtpKeyBook(std::vector<ManualSrtpKey> manual = {}) : manual_(std::move(manual)) {}

  // Learns the crypto lines of one SIP message's SDP.
  void LearnFromSip(std::string_view message);

  struct Lookup {
    bool srtp = false;             // the stream is SRTP (a key for it, or SDP said so)
    std::optional<SrtpKey> key;    // its key, when known
    std::string reason;            // why there is none
  };
  // What is known of the stream of `ssrc` sent from `src`:`srcPort` to `dst`:`dstPort`.
  Lookup Find(std::uint32_t ssrc, const IpAddress& src, std::uint16_t srcPort, const IpAddress& dst,
              std::uint16_t dstPort) const;

 private:
  struct Endpoint {
    IpAddress address;
    std::uint16_t port;
    auto operator<=>(const Endpoint&) const = default;
  };
  struct Side {
    bool secure = false;            // RTP/SAVP or the like
    std::optional<SrtpKey> key;
    std::string reason;             // why no key, when secure
  };
  void Offer(const SessionDescription& sdp, std::vector<SdpMedia>* pending);
  void Answer(const SessionDescription& sdp, const std::vector<SdpMedia>& offer);
  void Note(const SdpMedia& media, const SdpCrypto* crypto);

  std::vector<ManualSrtpKey> manual_;
  std::map<Endpoint, Side> sides_;
  std::map<std::string, std::vector<SdpMedia>> offers_;  // per Call-ID, the offer awaiting its answer
};

}  // namespace quorvane::io
