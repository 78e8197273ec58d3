// Cuts a stream of samples, given in calls of any size, into the 20 ms
// frames the exact detectors take; a final piece shorter than a frame is
// never handed on, exactly as over a file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codec/ulaw.h"

namespace quorvane {

struct FrameCutter {
  std::int16_t frame[kUlawFrameBytes];  // the open frame
  std::int32_t fill;                    // samples in it, 0..159
  std::int64_t frames;                  // whole frames handed on so far
};

inline void FrameCutterReset(FrameCutter& c) {
  std::fill(std::begin(c.frame), std::end(c.frame), std::int16_t{0});
  c.fill = 0;
  c.frames = 0;
}

// Calls onFrames(frames, count, firstFrameStart) for the whole frames the
// samples complete, `count` of them back to back from `frames` (straight
// from `samples` where no partial frame is pending); firstFrameStart is the
// position of the first, in samples from the first sample cut.
template <typename OnFrames>
void CutFrames(FrameCutter& c, const std::int16_t* samples, std::size_t count, OnFrames&& onFrames) {
  if (c.fill > 0) {
    const std::size_t take = std::min<std::size_t>(count, static_cast<std::size_t>(kUlawFrameBytes - c.fill));
    std::copy(samples, samples + take, c.frame + c.fill);
    c.fill += static_cast<std::int32_t>(take);
    samples += take;
    count -= take;
    if (c.fill < kUlawFrameBytes) return;
    onFrames(static_cast<const std::int16_t*>(c.frame), std::int64_t{1}, c.frames * kUlawFrameBytes);
    ++c.frames;
    c.fill = 0;
  }
  const auto whole = static_cast<std::int64_t>(count / kUlawFrameBytes);
  if (whole > 0) {
    onFrames(samples, whole, c.frames * kUlawFrameBytes);
    c.frames += whole;
  }
  const std::size_t used = static_cast<std::size_t>(whole) * kUlawFrameBytes;
  std::copy(samples + used, samples + count, c.frame);
  c.fill = static_cast<std::int32_t>(count - used);
}

}  // namespace quorvane
