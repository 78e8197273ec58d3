// SRTP packets of one stream back to RTP with libsrtp2 (RFC 3711, RFC 7714).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/capture/rtp_packet.h"
#include "io/capture/srtp_keys.h"

namespace quorvane::io {

class SrtpSession {
 public:
  // A session for the stream of `ssrc`, or null with the reason.
  static std::unique_ptr<SrtpSession> Make(const SrtpKey& key, std::uint32_t ssrc, std::string* error);
  SrtpSession(const SrtpSession&) = delete;
  SrtpSession& operator=(const SrtpSession&) = delete;
  ~SrtpSession();

  // The RTP packet an SRTP `datagram` carries, decrypted into `clear` (which
  // its payload then points into); nothing when it was replayed, malformed
  // or failed authentication (`*authFailed` then set).
  std::optional<RtpPacket> Open(Bytes datagram, std::vector<std::uint8_t>& clear, bool* authFailed);

 private:
  enum class Result : std::uint8_t { Ok, AuthFailed, Replayed, Malformed };
  explicit SrtpSession(void* session) : session_(session) {}
  // Decrypts `packet` in place and cuts its authentication tag off.
  Result Unprotect(std::vector<std::uint8_t>& packet);
  void* session_;  // srtp_t
};

}  // namespace quorvane::io
