// Puts fragmented IP datagrams back together in bounded memory: a few
// datagrams at a time, each no larger than IP allows, dropped when they
// stay incomplete too long or when newer ones need the room. A dropped
// datagram's RTP packet shows up as a lost sequence number.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

class FragmentReassembler {
 public:
  // Datagrams being assembled at once, and how long (capture seconds) an
  // incomplete one is kept.
  static constexpr std::size_t kMaxDatagrams = 64;
  static constexpr double kTimeoutSeconds = 30.0;

  // Takes one fragment seen at capture time `time`. Returns the datagram's
  // whole payload when this fragment completes it.
  std::optional<std::vector<std::uint8_t>> Add(const IpPayload& fragment, double time);

 private:
  struct Datagram {
    IpAddress src;
    IpAddress dst;
    std::uint8_t protocol = 0;
    std::uint32_t id = 0;
    double firstSeen = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pieces;  // [begin, end) received
    std::optional<std::uint32_t> totalLength;  // known once the last fragment arrived
  };
  bool Complete(const Datagram& datagram) const;

  std::vector<Datagram> datagrams_;
};

}  // namespace quorvane::io
