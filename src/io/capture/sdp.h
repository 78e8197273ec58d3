// The parts of an SDP body (RFC 4566) that say where a call's media goes
// and how to read it: connection addresses, media lines, payload formats,
// their parameters and the SDES keys (RFC 4568).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

struct SdpRtpmap {
  std::uint8_t payloadType = 0;
  std::string encoding;         // as written: "PCMU", "G722", "opus", "telephone-event"
  std::uint32_t clockRate = 0;
  std::uint8_t channels = 1;    // 1 when the line names none
};

// a=crypto:<tag> <suite> inline:<key and salt>[|lifetime][|MKI:length]
struct SdpCrypto {
  std::uint32_t tag = 0;
  std::string suite;            // "AES_CM_128_HMAC_SHA1_80", "AEAD_AES_128_GCM", ...
  std::string keySaltBase64;    // the first inline key, without its lifetime or MKI
};

enum class SdpDirection : std::uint8_t { SendRecv, SendOnly, RecvOnly, Inactive };

struct SdpMedia {
  std::string media;                      // "audio", "video", ...
  std::uint16_t port = 0;                 // 0: the media was refused or removed
  std::string protocol;                   // "RTP/AVP", "RTP/SAVP", "TCP/RTP/AVP", ...
  std::vector<std::uint8_t> formats;      // payload types of the m= line, in order
  std::optional<IpAddress> connection;    // the media's c= line, else the session's
  std::vector<SdpRtpmap> rtpmaps;
  std::vector<std::pair<std::uint8_t, std::string>> fmtps;  // a=fmtp:<type> <parameters>
  std::vector<SdpCrypto> cryptos;
  SdpDirection direction = SdpDirection::SendRecv;  // the media's attribute, else the session's

  const SdpRtpmap* RtpmapOf(std::uint8_t payloadType) const;  // nullptr when no rtpmap names it
  std::string_view FmtpOf(std::uint8_t payloadType) const;    // "" when none
};

struct SessionDescription {
  std::optional<IpAddress> connection;  // the session-level c= line
  std::vector<SdpMedia> media;
};

// Limits that keep a hostile body from growing the result without end; a
// real offer lists a handful of each.
inline constexpr std::size_t kMaxSdpMedia = 64;
inline constexpr std::size_t kMaxSdpAttributes = 128;  // rtpmaps, fmtps and cryptos each, per media

// Reads an SDP body with CRLF or LF line ends. Nothing when the text does
// not begin with "v=0". Lines it does not know, and malformed m=, c= and
// a= lines, are skipped.
std::optional<SessionDescription> ParseSdp(std::string_view body);

}  // namespace quorvane::io
