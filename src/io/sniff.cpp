#include "io/sniff.h"

#include <cstring>
#include <initializer_list>

#include "io/capture/capture_sniff.h"

namespace quorvane::io {
namespace {

bool StartsWith(const std::uint8_t* head, std::size_t n, const char* magic, std::size_t at = 0) {
  const std::size_t length = std::strlen(magic);
  return n >= at + length && std::memcmp(head + at, magic, length) == 0;
}

bool IsContainer(const std::uint8_t* head, std::size_t n) {
  // RIFF/RIFX/RF64/BW64 (WAV family), FORM (AIFF), .snd/dns. (AU), caff,
  // fLaC, OggS: only what is named here.
  for (const char* magic : {"RIFF", "RIFX", "RF64", "BW64", "FORM", ".snd", "dns.", "caff", "fLaC", "OggS"}) {
    if (StartsWith(head, n, magic)) return true;
  }
  return false;
}

}  // namespace

InputKind SniffInput(const std::uint8_t* head, std::size_t n) {
  if (LooksLikeCapture(head, n)) return InputKind::Capture;
  if (IsContainer(head, n)) return InputKind::Container;
  return InputKind::Headerless;
}

std::optional<std::uint32_t> WavHeaderRate(const std::uint8_t* head, std::size_t n) {
  const auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(head[at]) | static_cast<std::uint32_t>(head[at + 1]) << 8 |
           static_cast<std::uint32_t>(head[at + 2]) << 16 | static_cast<std::uint32_t>(head[at + 3]) << 24;
  };
  if (n < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return std::nullopt;
  // Chunks follow, each an id and a size, padded to even sizes.
  for (std::size_t at = 12; at + 8 <= n;) {
    const std::uint32_t size = le32(at + 4);
    if (std::memcmp(head + at, "fmt ", 4) == 0) {
      if (at + 16 > n) return std::nullopt;
      return le32(at + 12);
    }
    if (size > n) return std::nullopt;
    at += 8 + size + (size & 1);
  }
  return std::nullopt;
}

}  // namespace quorvane::io
