#include <algorithm>
#include <memory>

#include "dtmf/robust/detector.h"
#include "plot/dtmf_panel.h"

namespace quorvane::plot {
namespace {

// Events come after their tone has ended; this much past the range is read
// so a tone that starts in it is still reported.
constexpr std::int64_t kEventLatency = 8000 * 4;

// The keys whose tones reach into the range.
class Collector final : public DtmfKeySink {
 public:
  Collector(const ColumnGrid& grid, DtmfPanel& panel) : grid_(grid), panel_(panel) {}
  void Key(const DtmfKeyEvent& e) override {
    if (e.start + e.duration <= grid_.first || e.start >= grid_.end) return;
    const DtmfToneMeasures& m = *e.measures;
    panel_.digits.push_back({e.start, e.key, e.duration, m.lowLevel, m.highLevel, m.twist, m.snr});
  }

 private:
  const ColumnGrid& grid_;
  DtmfPanel& panel_;
};

}  // namespace

DtmfPanel BuildRobustDtmfPanel(const std::int16_t* samples, std::int64_t count, const ColumnGrid& grid) {
  DtmfPanel panel;
  panel.profile = DtmfProfile::kRobust;
  auto detector = std::make_unique<RobustDtmfDetector>();
  RobustDtmfInit(*detector, {});
  Collector collector(grid, panel);
  const std::int64_t stop = std::min(count, grid.end + kEventLatency);
  std::int64_t position = 0;
  // Until the range, in large steps; inside it, one sub-block at a time.
  const std::int64_t lead = grid.first / kRobustDtmfSubBlock * kRobustDtmfSubBlock;
  RobustDtmfProcess(*detector, samples, static_cast<std::size_t>(lead), collector);
  position = lead;
  while (position + kRobustDtmfSubBlock <= std::min(stop, grid.end + kRobustDtmfSubBlock)) {
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
    panel.blocks.push_back(view);
    position += kRobustDtmfSubBlock;
  }
  RobustDtmfProcess(*detector, samples + position, static_cast<std::size_t>(stop - position), collector);
  if (stop == count) RobustDtmfFinish(*detector, collector);
  return panel;
}

}  // namespace quorvane::plot
