#include "dtmf/exact/exact_dtmf.h"

#include <algorithm>

namespace quorvane {

void ExactDtmfInit(ExactDtmf& d, const ExactDtmfConfig& config) {
  (void)config;
  ExactDtmfReset(d);
}

void ExactDtmfReset(ExactDtmf& d) {
  d.channel = DtmfChannel();
  FrameCutterReset(d.cutter);
}

void ExactDtmfProcess(ExactDtmf& d, const std::int16_t* samples, std::size_t count, DtmfKeySink& sink) {
  CutFrames(d.cutter, samples, count, [&](const std::int16_t* frames, std::int64_t n, std::int64_t start) {
    d.channel.ProcessSampleFrames(frames, n, start, sink);
  });
}

void ExactDtmfFinish(ExactDtmf& d, DtmfKeySink& sink) {
  (void)d;
  (void)sink;
}

}  // namespace quorvane
