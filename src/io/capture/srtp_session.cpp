#include "io/capture/srtp_session.h"

#include <srtp2/srtp.h>

#include "base/failure.h"

namespace quorvane::io {
namespace {

// Once per process. A second srtp_init (another part of the same program
// started the library first) reports an error although the library is
// ready, so its answer is not trusted: srtp_create says whether it is.
void Initialise() {
  static const srtp_err_status_t status = srtp_init();
  (void)status;
}

// Packets may arrive this far out of order and still be read.
constexpr unsigned long kReplayWindow = 1024;

}  // namespace

std::unique_ptr<SrtpSession> SrtpSession::Make(const SrtpKey& key, std::uint32_t ssrc, std::string* error) {
  Initialise();
  srtp_policy_t policy{};
  switch (key.suite) {
    case SrtpSuite::AesCm128HmacSha1_80: srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtp); break;
    case SrtpSuite::AesCm128HmacSha1_32: srtp_crypto_policy_set_aes_cm_128_hmac_sha1_32(&policy.rtp); break;
    case SrtpSuite::AeadAes128Gcm: srtp_crypto_policy_set_aes_gcm_128_16_auth(&policy.rtp); break;
    case SrtpSuite::AeadAes256Gcm: srtp_crypto_policy_set_aes_gcm_256_16_auth(&policy.rtp); break;
  }
  policy.rtcp = policy.rtp;  // SRTCP is not read, but the policy needs one
  policy.ssrc.type = ssrc_specific;
  policy.ssrc.value = ssrc;
  std::vector<std::uint8_t> keySalt = key.keySalt;
  policy.key = keySalt.data();
  policy.window_size = kReplayWindow;
  srtp_t session = nullptr;
  if (srtp_create(&session, &policy) != srtp_err_status_ok) {
    Fail(error, "libsrtp2 refused the key");
    return nullptr;
  }
  return std::unique_ptr<SrtpSession>(new SrtpSession(session));
}

SrtpSession::~SrtpSession() { srtp_dealloc(static_cast<srtp_t>(session_)); }

SrtpSession::Result SrtpSession::Unprotect(std::vector<std::uint8_t>& packet) {
  int length = static_cast<int>(packet.size());
  const srtp_err_status_t status = srtp_unprotect(static_cast<srtp_t>(session_), packet.data(), &length);
  switch (status) {
    case srtp_err_status_ok: packet.resize(static_cast<std::size_t>(length)); return Result::Ok;
    case srtp_err_status_auth_fail: return Result::AuthFailed;
    case srtp_err_status_replay_fail:
    case srtp_err_status_replay_old: return Result::Replayed;
    default: return Result::Malformed;
  }
}

std::optional<RtpPacket> SrtpSession::Open(Bytes datagram, std::vector<std::uint8_t>& clear, bool* authFailed) {
  clear.assign(datagram.begin(), datagram.end());
  const Result result = Unprotect(clear);
  *authFailed = result == Result::AuthFailed;
  return result == Result::Ok ? ParseRtp(clear) : std::nullopt;
}

}  // namespace quorvane::io
