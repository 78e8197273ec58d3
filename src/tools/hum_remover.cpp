#include "tools/hum_remover.h"

#include <cstdint>
#include <cstring>

#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr std::int32_t kQuietBelow = 512;

bool IsQuiet(const std::int16_t* samples) {
  for (int i = 0; i < kUlawFrameBytes; ++i) {
    const std::int32_t s = samples[i];
    if ((s < 0 ? -s : s) >= kQuietBelow) return false;
  }
  return true;
}

}  // namespace

bool RemoveHum(PcmRawFile& input, OutputFile& output, std::string* error) {

  UlawFrame frame;
  std::int16_t samples[kUlawFrameBytes];
  bool written = true;
  while (written && input.ReadFrame(frame)) {
    UlawBufferToLinear(frame.data(), samples, kUlawFrameBytes);
    if (IsQuiet(samples)) std::memset(samples, 0, sizeof samples);
    LinearBufferToUlaw(samples, frame.data(), kUlawFrameBytes);
    written = output.Write(frame.data(), frame.size());
  }
  if (!input.ReadsSucceeded(error)) {
    output.Abort();
    return false;
  }
  return output.Commit(error);
}

}  // namespace quorvane
