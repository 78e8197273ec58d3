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

}  // namespace quorvane::io
