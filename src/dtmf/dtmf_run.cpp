#include "dtmf/dtmf_run.h"

#include "dtmf/dtmf_channel.h"

namespace quorvane {

std::int32_t& DtmfStartOffset() {
  static std::int32_t offset = 0;
  return offset;
}

DtmfRunResult RunDtmfDetection(const std::string& path, std::int32_t& startOffset, bool keepEvents) {
  DtmfRunResult result;
  DtmfChannel channel;
  RunOverFrames(path, startOffset, result, [&](UlawFrame& frame, std::int64_t frameStart) {
    char digit = 0;
    channel.ProcessFrame(frame.data(), kUlawFrameBytes, &digit);
    if (digit != 0) {
      result.digits.push_back(digit);
      if (keepEvents) result.events.push_back({digit, frameStart});
    }
  });
  return result;
}

}  // namespace quorvane
