// The skeleton every detection run shares: open a recording at the rotating
// start offset, hand on its whole frames with their file positions, and note
// how the reading ended.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "codec/pcm_raw_file.h"

namespace quorvane {

struct FrameRunStatus {
  bool opened = false;      // false: nothing was done and the offset did not move
  bool readFailed = false;  // the file opened but a read failed before its end
  std::string error;        // reason for !opened or readFailed
  std::int64_t frames = 0;  // whole frames processed
};

// Frames read at once: one read per 80 KiB instead of one per frame.
inline constexpr std::int64_t kFramesPerRead = 512;

// Calls onFrames(frames, count, firstFrameStartByte) for the whole frames of
// `path` after the start offset (see PcmRawFile::OpenAtRotatingOffset), up
// to kFramesPerRead at a time, in file order. Frame i of a call starts at
// byte firstFrameStartByte + 160 i.
template <typename OnFrames>
void RunOverFrameBlocks(const std::string& path, std::int32_t& startOffset, FrameRunStatus& status,
                        OnFrames&& onFrames) {
  PcmRawFile file;
  if (!file.OpenAtRotatingOffset(path, startOffset)) {
    status.error = file.Error();
    return;
  }
  status.opened = true;
  const auto buffer = std::make_unique<std::uint8_t[]>(kFramesPerRead * kUlawFrameBytes);
  for (;;) {
    const std::int64_t start = file.Position();
    const std::int64_t count = file.ReadFrames(buffer.get(), kFramesPerRead);
    if (count > 0) {
      status.frames += count;
      onFrames(buffer.get(), count, start);
    }
    if (count < kFramesPerRead) break;
  }
  if (file.ReadFailed()) {
    status.readFailed = true;
    status.error = file.Error();
  }
}

// The same, one frame at a time: onFrame(frame, frameStartByte).
template <typename OnFrame>
void RunOverFrames(const std::string& path, std::int32_t& startOffset, FrameRunStatus& status, OnFrame&& onFrame) {
  RunOverFrameBlocks(path, startOffset, status, [&](std::uint8_t* frames, std::int64_t count, std::int64_t start) {
    for (std::int64_t i = 0; i < count; ++i) {
      UlawFrame frame;
      std::copy_n(frames + i * kUlawFrameBytes, kUlawFrameBytes, frame.begin());
      onFrame(frame, start + i * kUlawFrameBytes);
    }
  });
}

}  // namespace quorvane
