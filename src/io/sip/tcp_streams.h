// The byte streams of TCP connections, put back together from captured
// segments by sequence number, so that messages split across segments, or
// several in one, can be cut out whole. Bounded: a few thousand
// connections, each holding at most kMaxBuffered unread bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

struct TcpFlowKey {
  IpAddress src;
  IpAddress dst;
  std::uint16_t srcPort = 0;
  std::uint16_t dstPort = 0;
  auto operator<=>(const TcpFlowKey&) const = default;
};

class TcpStreams {
 public:
  static constexpr std::size_t kMaxFlows = 4096;
  static constexpr std::size_t kMaxBuffered = 256 * 1024;

  // Adds one segment carrying `payload` from sequence number `sequence`.
  // Returns the flow's unread bytes, or nothing when the segment added no
  // new bytes in order. A segment after a gap (a segment lost to the
  // capture) starts the flow over from itself.
  std::optional<std::string_view> Add(const TcpFlowKey& key, std::uint32_t sequence, Bytes payload);

  // The first `count` unread bytes of the flow were used.
  void Consume(const TcpFlowKey& key, std::size_t count);

  // Whether the flow holds unread bytes: a message begun.
  bool Pending(const TcpFlowKey& key) const;

 private:
  struct Flow {
    std::uint32_t next = 0;   // sequence number of the next byte expected
    std::string unread;
    std::uint64_t lastUse = 0;
  };
  std::map<TcpFlowKey, Flow> flows_;
  std::uint64_t uses_ = 0;
};

// The sequence number of a TCP header (the IP payload of a TCP segment).
std::optional<std::uint32_t> TcpSequenceOf(Bytes tcpSegment);

}  // namespace quorvane::io
