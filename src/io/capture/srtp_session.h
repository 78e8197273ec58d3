// SRTP packets of one stream back to RTP with libsrtp2 (RFC 3711, RFC 7714).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/capture/srtp_keys.h"

namespace quorvane::io {

class SrtpSession {
 public:
  // A session for the stream of `ssrc`, or null with the reason.
  static std::unique_ptr<SrtpSession> Make(const SrtpKey& key, std::uint32_t ssrc, std::string* error);
  SrtpSession(const SrtpSession&) = delete;
  SrtpSession& operator=(const SrtpSession&) = delete;
  ~SrtpSession();

  enum class Result : std::uint8_t { Ok, AuthFailed, Replayed, Malformed };
  // Decrypts `packet` in place and cuts its authentication tag off.
  Result Unprotect(std::vector<std::uint8_t>& packet);

 private:
  explicit SrtpSession(void* session) : session_(session) {}
  void* session_;  // srtp_t
};

}  // namespace quorvane::io
