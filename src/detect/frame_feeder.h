// Cuts a stream into the 160-sample frames the exact detectors take, and
// keeps the stream position of each frame for the event times.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codec/ulaw.h"

namespace quorvane {

class FrameFeeder {
 public:
  explicit FrameFeeder(std::int64_t startSample) : frameStart_(startSample) {}

  // Calls onFrame(frame, frameStartSample) for every frame completed.
  template <typename OnFrame>
  void Push(const std::int16_t* samples, std::size_t count, OnFrame&& onFrame) {
    while (count > 0) {
      const std::size_t take = std::min<std::size_t>(count, kUlawFrameBytes - filled_);
      std::copy(samples, samples + take, frame_ + filled_);
      filled_ += take;
      samples += take;
      count -= take;
      if (filled_ == kUlawFrameBytes) {
        onFrame(frame_, frameStart_);
        frameStart_ += kUlawFrameBytes;
        filled_ = 0;
        ++frames_;
      }
    }
  }

  // The same in runs: onFrames(frames, count, firstFrameStartSample) with
  // `count` whole frames back to back, straight from `samples` where no
  // partial frame is pending.
  template <typename OnFrames>
  void PushFrames(const std::int16_t* samples, std::size_t count, OnFrames&& onFrames) {
    if (filled_ > 0) {
      const std::size_t take = std::min<std::size_t>(count, kUlawFrameBytes - filled_);
      Push(samples, take, [&](const std::int16_t* frame, std::int64_t start) { onFrames(frame, 1, start); });
      samples += take;
      count -= take;
    }
    const std::size_t whole = count / kUlawFrameBytes;
    if (whole > 0) {
      onFrames(samples, static_cast<std::int64_t>(whole), frameStart_);
      frameStart_ += static_cast<std::int64_t>(whole) * kUlawFrameBytes;
      frames_ += static_cast<std::int64_t>(whole);
    }
    const std::size_t used = whole * kUlawFrameBytes;
    std::copy(samples + used, samples + count, frame_);
    filled_ = count - used;
  }

  std::int64_t Frames() const { return frames_; }

 private:
  std::int16_t frame_[kUlawFrameBytes];
  std::size_t filled_ = 0;
  std::int64_t frameStart_;
  std::int64_t frames_ = 0;
};

// Seconds from the start of the stream of sample `position`.
inline double SampleSeconds(std::int64_t position) { return static_cast<double>(position) / kSampleRate; }

// The exact detectors' answer to a stream without one whole frame.
inline constexpr const char* kNoWholeFrame =
    "no whole 20 ms frame (160 samples) after the start offset: nothing to detect";

}  // namespace quorvane
