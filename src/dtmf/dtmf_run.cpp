#include "dtmf/dtmf_run.h"

#include "codec/pcm_raw_file.h"
#include "dtmf/dtmf_channel.h"

namespace quorvane {

std::int32_t& DtmfStartOffset() {
  static std::int32_t offset = 0;
  return offset;
}

DtmfRunResult RunDtmfDetection(const std::string& path, std::int32_t& startOffset, bool keepEvents) {
  DtmfRunResult result;
  DtmfChannel channel;
  PcmRawFile file;
  if (!file.OpenAtRotatingOffset(path, startOffset)) {
    result.error = file.Error();
    return result;
  }
  result.opened = true;

  UlawFrame frame;
  std::int64_t frameStart = file.Position();
  while (file.ReadFrame(frame)) {
    ++result.frames;
    char digit = 0;
    channel.ProcessFrame(frame.data(), kUlawFrameBytes, &digit);
    if (digit != 0) {
      result.digits.push_back(digit);
      if (keepEvents) result.events.push_back({digit, frameStart});
    }
    frameStart = file.Position();
  }
  if (file.ReadFailed()) {
    result.readFailed = true;
    result.error = file.Error();
  }
  return result;
}

}  // namespace quorvane
