// The skeleton every detection run shares: hand on the whole frames of an
// open recording with their file positions, in file order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/pcm_raw_file.h"

namespace quorvane {

// Frames read at once: one read per 80 KiB instead of one per frame.
inline constexpr std::int64_t kFramesPerRead = 512;

// Calls onFrames(frames, count, firstFrameStartByte) for the whole frames of
// `file` from where it stands, up to kFramesPerRead at a time; frame i of a
// call starts at byte firstFrameStartByte + 160 i. Returns the frames
// handed on; `file.ReadsSucceeded` tells whether the end was the file's.
template <typename OnFrames>
std::int64_t ReadFrameBlocks(PcmRawFile& file, OnFrames&& onFrames) {
  const auto buffer = std::make_unique<std::uint8_t[]>(kFramesPerRead * kUlawFrameBytes);
  std::int64_t frames = 0;
  for (;;) {
    const std::int64_t start = file.Position();
    const std::int64_t count = file.ReadFrames(buffer.get(), kFramesPerRead);
    if (count > 0) {
      frames += count;
      onFrames(buffer.get(), count, start);
    }
    if (count < kFramesPerRead) return frames;
  }
}

}  // namespace quorvane
