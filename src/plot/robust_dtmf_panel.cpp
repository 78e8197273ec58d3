#include <algorithm>
#include <memory>

#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/robust/detector.h"
#include "plot/dtmf_panel.h"

namespace quorvane::plot {
namespace {

// Events come after their tone has ended; this much past the range is read
// so a tone that starts in it is still reported.
constexpr std::int64_t kEventLatency = 8000 * 4;

struct Collector {
  const ColumnGrid* grid;
  DtmfPanel* panel;
};

void OnEvent(void* context, const RobustDtmfEvent& e) {
  auto* c = static_cast<Collector*>(context);
  if (e.start + e.duration <= c->grid->first || e.start >= c->grid->end) return;
  c->panel->digits.push_back({e.start, e.digit, e.duration, e.lowLevel, e.highLevel, e.twist, e.snr});
}

}  // namespace

DtmfPanel BuildRobustDtmfPanel(const std::int16_t* samples, std::int64_t count, const ColumnGrid& grid) {
  DtmfPanel panel;
  panel.profile = DtmfProfile::kRobust;
  auto detector = std::make_unique<RobustDtmfDetector>();
  RobustDtmfInit(detector.get());
  Collector collector{&grid, &panel};
  const std::int64_t stop = std::min(count, grid.end + kEventLatency);
  std::int64_t position = 0;
  // Until the range, in large steps; inside it, one sub-block at a time.
  const std::int64_t lead = grid.first / kRobustDtmfSubBlock * kRobustDtmfSubBlock;
  RobustDtmfProcess(detector.get(), samples, lead, OnEvent, &collector);
  position = lead;
  while (position + kRobustDtmfSubBlock <= std::min(stop, grid.end + kRobustDtmfSubBlock)) {
    RobustDtmfProcess(detector.get(), samples + position, kRobustDtmfSubBlock, OnEvent, &collector);
    const RobustDtmfDetector& d = *detector;
    const int ring = static_cast<int>((d.blocksDone - 1) & (kRobustDtmfSubRing - 1));
    DtmfBlockView view{};
    view.start = position;
    view.length = kRobustDtmfSubBlock;
    for (int k = 0; k < 4; ++k) {
      view.rowPower[k] = d.blockPower[ring][k];
      view.colPower[k] = d.blockPower[ring][k + 4];
    }
    view.energy = d.blockEnergy[(d.blocksDone - 1) & (kRobustDtmfWindowBlocks - 1)];
    view.result = d.key >= 0 ? static_cast<std::int32_t>(DtmfDigitMap[d.key]) : 0;
    panel.blocks.push_back(view);
    position += kRobustDtmfSubBlock;
  }
  RobustDtmfProcess(detector.get(), samples + position, stop - position, OnEvent, &collector);
  if (stop == count) RobustDtmfFinish(detector.get(), OnEvent, &collector);
  return panel;
}

}  // namespace quorvane::plot
