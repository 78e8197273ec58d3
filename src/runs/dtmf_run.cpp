#include "runs/dtmf_run.h"

#include "dtmf/exact/dtmf_channel.h"

namespace quorvane {

std::int32_t& DtmfStartOffset() {
  static std::int32_t offset = 0;
  return offset;
}

DtmfRunResult RunDtmfDetection(const std::string& path, std::int32_t& startOffset, bool keepEvents) {
  DtmfRunResult result;
  DtmfChannel channel;
  std::vector<DtmfFrameDigit> found;
  RunOverFrameBlocks(path, startOffset, result, [&](std::uint8_t* frames, std::int64_t count, std::int64_t start) {
    found.clear();
    channel.ProcessFrames(frames, count, found);
    for (const DtmfFrameDigit& f : found) {
      result.digits.push_back(f.digit);
      if (keepEvents) result.events.push_back({f.digit, start + f.frame * kUlawFrameBytes});
    }
  });
  return result;
}

}  // namespace quorvane
