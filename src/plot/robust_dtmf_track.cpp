#include <algorithm>
#include <memory>

#include "dtmf/robust/detector.h"
#include "plot/dtmf_panel.h"

namespace quorvane::plot {
namespace {

// Events come after their tone has ended; this much past the span is read
// so a tone that starts in it is still reported.
constexpr std::int64_t kEventLatency = 8000 * 4;

// The keys whose tones reach into the span.
class Collector final : public DtmfKeySink {
 public:
  Collector(const TrackSpan& span, DtmfTrack& track) : span_(span), track_(track) {}
  void Key(const DtmfKeyEvent& e) override {
    if (e.start + e.duration <= span_.first || e.start >= span_.end) return;
    const DtmfToneMeasures& m = *e.measures;
    track_.digits.push_back({e.start, e.key, e.duration, m.lowLevel, m.highLevel, m.twist, m.snr});
  }

 private:
  const TrackSpan& span_;
  DtmfTrack& track_;
};

}  // namespace

DtmfTrack TrackRobustDtmf(const std::int16_t* samples, std::int64_t count, TrackSpan span) {
  DtmfTrack track;
  track.profile = DtmfProfile::kRobust;
  track.span = span;
  auto detector = std::make_unique<RobustDtmfDetector>();
  RobustDtmfInit(*detector, {});
  Collector collector(span, track);
  const std::int64_t stop = span.end >= count ? count : std::min(count, span.end + kEventLatency);
  // Up to the span in one step; inside it, one sub-block at a time.
  const std::int64_t lead = std::min(span.first, count) / kRobustDtmfSubBlock * kRobustDtmfSubBlock;
  RobustDtmfProcess(*detector, samples, static_cast<std::size_t>(lead), collector);
  std::int64_t position = lead;
  while (position < span.end && position + kRobustDtmfSubBlock <= stop) {
    RobustDtmfProcess(*detector, samples + position, kRobustDtmfSubBlock, collector);
    const RobustDtmfSubBlock block = RobustDtmfLastSubBlock(*detector);
    DtmfBlockView view{};
    view.start = position;
    view.length = kRobustDtmfSubBlock;
    for (int k = 0; k < 4; ++k) {
      view.rowPower[k] = block.power[k];
      view.colPower[k] = block.power[k + 4];
    }
    view.energy = block.energy;
    view.result = static_cast<std::int32_t>(block.key);
    track.blocks.push_back(view);
    position += kRobustDtmfSubBlock;
  }
  RobustDtmfProcess(*detector, samples + position, static_cast<std::size_t>(stop - position), collector);
  if (stop == count) RobustDtmfFinish(*detector, collector);
  return track;
}

}  // namespace quorvane::plot
