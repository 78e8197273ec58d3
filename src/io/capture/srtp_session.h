// SRTP packets of one stream back to RTP with libsrtp2 (RFC 3711, RFC 7714).
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/capture/rtp_packet.h"
#include "io/capture/srtp_keys.h"

namespace quorvane::io {

class SrtpSession;

// The libsrtp sessions of one capture that are awake. With libsrtp2 over NSS
// both creating a session and reading a packet cost more the more sessions
// the process holds (a packet 2.3 us with 125, 27 us with 2 000, 200 us with
// 8 000), so at most kAwake stay awake: the one used longest ago goes to
// sleep, keeping its key and rollover counter, and wakes on its stream's
// next packet. A session made and another put to sleep cost 23 us with 64
// awake, 30 us with 128, 60 us with 256: 10 MB of one-packet SRTP streams
// take about 5 s (8 s with the other core busy), and a capture of more
// streams at once than this still reads every packet, at that cost.
class SrtpSessions {
 public:
  static constexpr std::size_t kAwake = 64;

  SrtpSessions() = default;
  SrtpSessions(const SrtpSessions&) = delete;
  SrtpSessions& operator=(const SrtpSessions&) = delete;

 private:
  friend class SrtpSession;
  std::list<SrtpSession*> awake_;  // the one used longest ago first
};

class SrtpSession {
 public:
  // A session for the stream of `ssrc`, awake among `sessions` (which must
  // outlive it), or null with the reason.
  static std::unique_ptr<SrtpSession> Make(const SrtpKey& key, std::uint32_t ssrc, SrtpSessions& sessions,
                                           std::string* error);
  SrtpSession(const SrtpSession&) = delete;
  SrtpSession& operator=(const SrtpSession&) = delete;
  ~SrtpSession();

  // The RTP packet an SRTP `datagram` carries, decrypted into `clear` (which
  // its payload then points into); nothing when it was replayed, malformed
  // or failed authentication (`*authFailed` then set).
  std::optional<RtpPacket> Open(Bytes datagram, std::vector<std::uint8_t>& clear, bool* authFailed);

 private:
  enum class Result : std::uint8_t { Ok, AuthFailed, Replayed, Malformed };
  // Asleep until its first Use.
  SrtpSession(const SrtpKey& key, std::uint32_t ssrc, SrtpSessions& sessions);
  // Decrypts `packet` in place and cuts its authentication tag off.
  Result Unprotect(std::vector<std::uint8_t>& packet);
  // Makes the session the last one used, waking it for a packet of
  // `sequence` if it sleeps; false when libsrtp refuses.
  bool Use(std::uint16_t sequence);
  void Sleep();

  SrtpKey key_;
  std::uint32_t ssrc_;
  SrtpSessions& sessions_;
  void* session_ = nullptr;  // srtp_t; null while asleep
  std::list<SrtpSession*>::iterator awake_;
  // The rollover counter and sequence number of the latest packet read:
  // what a woken session needs to place the next one (RFC 3711, 3.3.1).
  bool read_ = false;
  std::uint32_t rollover_ = 0;
  std::uint16_t sequence_ = 0;
};

}  // namespace quorvane::io
