#include "io/sniff.h"

#include <cstring>
#include <initializer_list>

namespace quorvane::io {
namespace {

bool StartsWith(const std::uint8_t* head, std::size_t n, const char* magic, std::size_t at = 0) {
  const std::size_t length = std::strlen(magic);
  return n >= at + length && std::memcmp(head + at, magic, length) == 0;
}

bool IsCapture(const std::uint8_t* head, std::size_t n) {
  static constexpr std::uint8_t kMagics[][4] = {{0xA1, 0xB2, 0xC3, 0xD4}, {0xD4, 0xC3, 0xB2, 0xA1},
                                                {0xA1, 0xB2, 0x3C, 0x4D}, {0x4D, 0x3C, 0xB2, 0xA1},
                                                {0x0A, 0x0D, 0x0D, 0x0A}};
  if (n < 4) return false;
  for (const auto& magic : kMagics) {
    if (std::memcmp(head, magic, 4) == 0) return true;
  }
  return false;
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
  if (IsCapture(head, n)) return InputKind::Capture;
  if (IsContainer(head, n)) return InputKind::Container;
  return InputKind::Headerless;
}

}  // namespace quorvane::io
