// Recognises a packet capture by its first bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane::io {

// "pcap" (either byte order, micro- or nanosecond times), "pcapng", or
// nullptr when `head` starts neither.
const char* CaptureContainerOf(const std::uint8_t* head, std::size_t n);

inline bool LooksLikeCapture(const std::uint8_t* head, std::size_t n) {
  return CaptureContainerOf(head, n) != nullptr;
}

}  // namespace quorvane::io
