#include "tools/pcm_generator.h"

#include <cstring>

namespace quorvane {
namespace {

constexpr std::size_t kWorkingCopyBytes = 255;

// Value of an upper-cased hex digit, or -1.
int HexDigit(char c) {
  if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= '0' && c <= '9') return c - '0';
  return -1;
}

}  // namespace

std::uint8_t ParseHexByte(const char* token) {
  const char* p = token;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  if (p[0] == 0) return 0;
  const int first = HexDigit(p[0]);
  int value = first < 0 ? 0 : first;
  if (p[1] != 0) {
    const int second = HexDigit(p[1]);
    if (second >= 0) value = 16 * value + second;
  }
  return static_cast<std::uint8_t>(value);
}

int ParseHexList(const std::string& text, std::uint8_t list[256]) {
  // The working copy: the first 255 bytes, as plain text.
  char work[kWorkingCopyBytes + 1] = {};
  std::memcpy(work, text.data(), std::min(text.size(), kWorkingCopyBytes));
  char* rest = work;
  int count = 0;
  for (;;) {
    char* separator = std::strchr(rest, ',');
    if (separator == nullptr) separator = std::strchr(rest, ';');
    if (separator == nullptr) break;
    *separator = 0;
    list[count++] = ParseHexByte(rest);
    rest = separator + 1;
  }
  if (*rest != 0) list[count++] = ParseHexByte(rest);
  return count;
}

bool GeneratePcmFile(const std::string& ulawData, std::uint32_t repeatCount, OutputFile& output, std::string* error) {
  std::uint8_t list[256];
  const int count = ParseHexList(ulawData, list);
  for (std::uint32_t i = 0; i < repeatCount; ++i) {
    if (!output.Write(list, static_cast<std::size_t>(count))) break;
  }
  return output.Commit(error);
}

}  // namespace quorvane
