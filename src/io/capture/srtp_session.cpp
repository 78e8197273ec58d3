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

// A libsrtp session for the stream of `ssrc`, or null when libsrtp refuses the key.
srtp_t Create(const SrtpKey& key, std::uint32_t ssrc) {
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
  return srtp_create(&session, &policy) == srtp_err_status_ok ? session : nullptr;
}

// The rollover counter of a packet of `sequence`, from those of the latest
// packet read (RFC 3711, 3.3.1).
std::uint32_t RolloverFor(std::uint32_t rollover, std::uint16_t latest, std::uint16_t sequence) {
  if (latest < 0x8000) return sequence > latest && sequence - latest > 0x8000 && rollover > 0 ? rollover - 1 : rollover;
  return latest - 0x8000 > sequence ? rollover + 1 : rollover;
}

}  // namespace

std::unique_ptr<SrtpSession> SrtpSession::Make(const SrtpKey& key, std::uint32_t ssrc, SrtpSessions& sessions,
                                               std::string* error) {
  std::unique_ptr<SrtpSession> session(new SrtpSession(key, ssrc, sessions));
  if (session->Use(0)) return session;
  Fail(error, "libsrtp2 refused the key");
  return nullptr;
}

SrtpSession::SrtpSession(const SrtpKey& key, std::uint32_t ssrc, SrtpSessions& sessions)
    : key_(key), ssrc_(ssrc), sessions_(sessions) {}

SrtpSession::~SrtpSession() {
  if (session_ != nullptr) Sleep();
}

void SrtpSession::Sleep() {
  srtp_dealloc(static_cast<srtp_t>(session_));
  session_ = nullptr;
  sessions_.awake_.erase(awake_);
}

bool SrtpSession::Use(std::uint16_t sequence) {
  if (session_ != nullptr) {
    sessions_.awake_.splice(sessions_.awake_.end(), sessions_.awake_, awake_);
    return true;
  }
  if (sessions_.awake_.size() >= SrtpSessions::kAwake) sessions_.awake_.front()->Sleep();
  srtp_t session = Create(key_, ssrc_);
  if (session == nullptr) return false;
  if (read_) srtp_set_stream_roc(session, ssrc_, RolloverFor(rollover_, sequence_, sequence));
  session_ = session;
  awake_ = sessions_.awake_.insert(sessions_.awake_.end(), this);
  return true;
}

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
  *authFailed = false;
  if (datagram.size() < 12) return std::nullopt;
  const auto sequence = static_cast<std::uint16_t>(datagram[2] << 8 | datagram[3]);
  if (!Use(sequence)) return std::nullopt;
  clear.assign(datagram.begin(), datagram.end());
  const Result result = Unprotect(clear);
  *authFailed = result == Result::AuthFailed;
  if (result != Result::Ok) return std::nullopt;
  const std::uint32_t rollover = RolloverFor(rollover_, sequence_, sequence);
  if (!read_ || (std::uint64_t{rollover} << 16 | sequence) > (std::uint64_t{rollover_} << 16 | sequence_)) {
    rollover_ = read_ ? rollover : 0;
    sequence_ = sequence;
    read_ = true;
  }
  return ParseRtp(clear);
}

}  // namespace quorvane::io
