// DtmfChannel::ProcessFrames: many frames at once. The whole blocks of a
// stretch of frames run first, side by side in vector lanes; the walk over
// the frames then replays what ProcessFrame calls would do with the block
// results (admission, history, held digit, clearing, reporting) in order.
#include <algorithm>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_blocks.h"
#include "dtmf/exact/dtmf_channel.h"

namespace quorvane {
namespace {

// Frames per stretch: enough whole blocks to fill the lanes many times over,
// small enough for the stack.
constexpr std::int64_t kStretchFrames = 128;
constexpr int kStretchSamples = kStretchFrames * kUlawFrameBytes;
constexpr int kMaxStretchBlocks = kStretchSamples / kDtmfBlockSize + 1;

}  // namespace

void DtmfChannel::ProcessFrames(std::uint8_t* frames, std::int64_t frameCount, std::int64_t firstFrameStart,
                                DtmfKeySink& keys) {
  std::int16_t samples[kStretchSamples];
  for (std::int64_t first = 0; first < frameCount; first += kStretchFrames) {
    const int stretchFrames = static_cast<int>(std::min(kStretchFrames, frameCount - first));
    const int n = stretchFrames * kUlawFrameBytes;
    std::uint8_t* bytes = frames + first * kUlawFrameBytes;
    UlawBufferToLinear(bytes, samples, n);
    ProcessStretch(samples, stretchFrames, writeBack, firstFrameStart + first * kUlawFrameBytes, keys);
    if (writeBack) LinearBufferToUlaw(samples, bytes, n);
  }
}

void DtmfChannel::ProcessSampleFrames(const std::int16_t* samples, std::int64_t frameCount,
                                      std::int64_t firstFrameStart, DtmfKeySink& keys) {
  std::int16_t copy[kStretchSamples];
  for (std::int64_t first = 0; first < frameCount; first += kStretchFrames) {
    const int stretchFrames = static_cast<int>(std::min(kStretchFrames, frameCount - first));
    const std::int16_t* from = samples + first * kUlawFrameBytes;
    std::copy(from, from + stretchFrames * kUlawFrameBytes, copy);
    ProcessStretch(copy, stretchFrames, false, firstFrameStart + first * kUlawFrameBytes, keys);
  }
}

void DtmfChannel::ProcessStretch(std::int16_t* samples, int stretchFrames, bool clear, std::int64_t firstFrameStart,
                                 DtmfKeySink& keys) {
  const int n = stretchFrames * kUlawFrameBytes;
  DtmfBlockEnd ends[kMaxStretchBlocks];
  float coefs[8];
  for (int k = 0; k < 4; ++k) {
    coefs[k] = detector.row[k].coef;
    coefs[k + 4] = detector.col[k].coef;
  }
  // The open block is finished from the detector's own state; every block
  // after it starts silent and goes to the lanes.
  const int head = detector.blockFill == 0 ? 0 : kDtmfBlockSize - detector.blockFill;
  int blocks = 0;
  if (head > 0) {
    DtmfFeedSamples(&detector, samples, head);
    ends[blocks++] = DtmfCurrentBlockEnd(&detector);
  }
  const int whole = (n - head) / kDtmfBlockSize;
  DtmfRunWholeBlocks(samples + head, whole, coefs, ends + blocks);
  blocks += whole;
  // The samples after the last whole block open the next block once the
  // walk has ended the others; clearing must not reach them first.
  const int tail = head + whole * kDtmfBlockSize;
  std::int16_t open[kDtmfBlockSize];
  std::copy(samples + tail, samples + n, open);

  // Block b ends after sample firstEnd + b * kDtmfBlockSize - 1 of the stretch.
  const int firstEnd = head > 0 ? head : kDtmfBlockSize;
  int b = 0;
  for (int f = 0; f < stretchFrames; ++f) {
    const int frameStart = f * kUlawFrameBytes;
    const int frameEnd = frameStart + kUlawFrameBytes;
    std::int32_t lastResult = 0;
    int p = frameStart;
    for (; b < blocks && firstEnd + b * kDtmfBlockSize <= frameEnd; ++b) {
      const int e = firstEnd + b * kDtmfBlockSize;
      lastResult = DtmfEndBlock(&detector, ends[b]);
      if (clear && lastResult != 0) std::fill(samples + p, samples + e, std::int16_t{0});
      p = e;
    }
    // Carry-over: the start of the next block follows a tone block of this frame.
    if (clear && lastResult != 0) std::fill(samples + p, samples + frameEnd, std::int16_t{0});
    if (detector.heldDigit == 0 || detector.heldDigit != lastResult) detector.heldDigit = 0;
    char digit = 0;
    TakeDigit(&digit);
    if (digit != 0) keys.Key({digit, firstFrameStart + f * kUlawFrameBytes, 0, std::nullopt});
  }
  DtmfFeedSamples(&detector, open, n - tail);
  detector.blockFill = n - tail;
}

}  // namespace quorvane
