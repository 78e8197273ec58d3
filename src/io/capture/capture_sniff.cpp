#include "io/capture/capture_sniff.h"

#include <array>
#include <cstring>

namespace quorvane::io {

const char* CaptureContainerOf(const std::uint8_t* head, std::size_t n) {
  if (n < 4) return nullptr;
  using Magic = std::array<std::uint8_t, 4>;
  static constexpr Magic kPcapMagics[] = {
      {0xD4, 0xC3, 0xB2, 0xA1}, {0xA1, 0xB2, 0xC3, 0xD4},  // microseconds
      {0x4D, 0x3C, 0xB2, 0xA1}, {0xA1, 0xB2, 0x3C, 0x4D},  // nanoseconds
  };
  for (const Magic& magic : kPcapMagics) {
    if (std::memcmp(head, magic.data(), 4) == 0) return "pcap";
  }
  // The section header block type reads the same in both byte orders.
  static constexpr Magic kSectionHeader = {0x0A, 0x0D, 0x0D, 0x0A};
  if (std::memcmp(head, kSectionHeader.data(), 4) == 0) return "pcapng";
  return nullptr;
}

}  // namespace quorvane::io
