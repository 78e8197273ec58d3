#include "plot/ulaw_samples.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "codec/ulaw.h"

namespace quorvane::plot {

bool ReadUlawSamples(const std::string& path, std::vector<std::int16_t>& samples, std::string& error) {
  const bool standardInput = path == "-";
  std::FILE* file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  samples.clear();
  std::uint8_t bytes[1 << 16];
  std::int16_t linear[sizeof bytes];
  for (;;) {
    const std::size_t n = std::fread(bytes, 1, sizeof bytes, file);
    UlawBufferToLinear(bytes, linear, static_cast<int>(n));
    samples.insert(samples.end(), linear, linear + n);
    if (n < sizeof bytes) break;
  }
  const bool failed = std::ferror(file) != 0;
  const int reason = errno;
  if (!standardInput) std::fclose(file);
  if (failed) error = std::string("read failed: ") + std::strerror(reason);
  return !failed;
}

}  // namespace quorvane::plot
