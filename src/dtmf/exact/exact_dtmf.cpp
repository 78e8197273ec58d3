#include "dtmf/exact/exact_dtmf.h"

#include <algorithm>

namespace quorvane {

void ExactDtmfInit(ExactDtmf& d, const ExactDtmfConfig& config) {
  (void)config;
  ExactDtmfReset(d);
}

void ExactDtmfReset(ExactDtmf& d) {
  d.channel = DtmfChannel();
  std::fill(std::begin(d.frame), std::end(d.frame), std::int16_t{0});
  d.frameFill = 0;
  d.frames = 0;
}

void ExactDtmfProcess(ExactDtmf& d, const std::int16_t* samples, std::size_t count, DtmfKeySink& sink) {
  if (d.frameFill > 0) {
    const std::size_t take = std::min<std::size_t>(count, static_cast<std::size_t>(kUlawFrameBytes - d.frameFill));
    std::copy(samples, samples + take, d.frame + d.frameFill);
    d.frameFill += static_cast<std::int32_t>(take);
    samples += take;
    count -= take;
    if (d.frameFill < kUlawFrameBytes) return;
    d.channel.ProcessSampleFrames(d.frame, 1, d.frames * kUlawFrameBytes, sink);
    ++d.frames;
    d.frameFill = 0;
  }
  // Whole frames straight from the caller's samples.
  const auto whole = static_cast<std::int64_t>(count / kUlawFrameBytes);
  if (whole > 0) {
    d.channel.ProcessSampleFrames(samples, whole, d.frames * kUlawFrameBytes, sink);
    d.frames += whole;
  }
  const std::size_t used = static_cast<std::size_t>(whole) * kUlawFrameBytes;
  std::copy(samples + used, samples + count, d.frame);
  d.frameFill = static_cast<std::int32_t>(count - used);
}

void ExactDtmfFinish(ExactDtmf& d, DtmfKeySink& sink) {
  (void)d;
  (void)sink;
}

}  // namespace quorvane
