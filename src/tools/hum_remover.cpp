#include "tools/hum_remover.h"

#include <cstdint>
#include <cstring>

#include "codec/pcm_raw_file.h"
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

ToolResult RemoveHum(const std::string& inputPath, const std::string& outputPath, OutputFile& output) {
  PcmRawFile input;
  if (!input.Open(inputPath)) return {ToolStatus::InputOpenFailed, input.Error()};
  ToolResult result;
  if (!output.Open(outputPath, result.reason)) return {ToolStatus::OutputOpenFailed, result.reason};

  UlawFrame frame;
  std::int16_t samples[kUlawFrameBytes];
  bool written = true;
  while (written && input.ReadFrame(frame)) {
    UlawBufferToLinear(frame.data(), samples, kUlawFrameBytes);
    if (IsQuiet(samples)) std::memset(samples, 0, sizeof samples);
    LinearBufferToUlaw(samples, frame.data(), kUlawFrameBytes);
    written = output.Write(frame.data(), frame.size());
  }
  if (input.ReadFailed()) {
    output.Abort();
    return {ToolStatus::ReadFailed, input.Error()};
  }
  if (!output.Commit(result.reason)) result.status = ToolStatus::WriteFailed;
  return result;
}

ToolResult RemoveHum(const std::string& inputPath, const std::string& outputPath) {
  AtomicOutputFile output;
  return RemoveHum(inputPath, outputPath, output);
}

}  // namespace quorvane
