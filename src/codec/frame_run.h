// The skeleton every detection run shares: open a recording at the rotating
// start offset, hand each whole frame on with its file position, and note
// how the reading ended.
#pragma once

#include <cstdint>
#include <string>

#include "codec/pcm_raw_file.h"

namespace quorvane {

struct FrameRunStatus {
  bool opened = false;      // false: nothing was done and the offset did not move
  bool readFailed = false;  // the file opened but a read failed before its end
  std::string error;        // reason for !opened or readFailed
  std::int64_t frames = 0;  // whole frames processed
};

// Calls onFrame(frame, frameStartByte) for every whole frame of `path`
// after the start offset (see PcmRawFile::OpenAtRotatingOffset).
template <typename OnFrame>
void RunOverFrames(const std::string& path, std::int32_t& startOffset, FrameRunStatus& status, OnFrame&& onFrame) {
  PcmRawFile file;
  if (!file.OpenAtRotatingOffset(path, startOffset)) {
    status.error = file.Error();
    return;
  }
  status.opened = true;
  UlawFrame frame;
  std::int64_t frameStart = file.Position();
  while (file.ReadFrame(frame)) {
    ++status.frames;
    onFrame(frame, frameStart);
    frameStart = file.Position();
  }
  if (file.ReadFailed()) {
    status.readFailed = true;
    status.error = file.Error();
  }
}

}  // namespace quorvane
