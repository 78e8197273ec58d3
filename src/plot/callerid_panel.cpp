#include "plot/callerid_panel.h"

#include <algorithm>

#include "plot/waveform_panel.h"

namespace quorvane::plot {

CallerIdPanel CallerIdPanelOf(const CallerIdTrack& track, const ColumnGrid& grid) {
  CallerIdPanel panel;
  panel.plan = track.plan;
  const auto columns = static_cast<std::size_t>(grid.columns);
  panel.traceMin.assign(columns, 0.0f);
  panel.traceMax.assign(columns, 0.0f);
  const bool keepTrace = grid.Samples() <= static_cast<std::int64_t>(grid.columns) * kSamplesDrawnPerColumn;
  if (keepTrace) panel.trace.assign(static_cast<std::size_t>(grid.Samples()), 0.0f);
  // Samples the demodulator never reached keep 0 and leave their column empty.
  const std::int64_t made = track.span.first + static_cast<std::int64_t>(track.lowPass.size());
  std::vector<bool> seen(columns, false);
  for (std::int64_t s = std::max(grid.first, track.span.first); s < std::min(grid.end, made); ++s) {
    const float y = track.lowPass[static_cast<std::size_t>(s - track.span.first)];
    const auto c = static_cast<std::size_t>(grid.ColumnOf(s));
    if (!seen[c]) {
      panel.traceMin[c] = panel.traceMax[c] = y;
      seen[c] = true;
    } else {
      panel.traceMin[c] = std::min(panel.traceMin[c], y);
      panel.traceMax[c] = std::max(panel.traceMax[c], y);
    }
    if (keepTrace) panel.trace[static_cast<std::size_t>(s - grid.first)] = y;
  }
  const auto firstBit = std::partition_point(track.bits.begin(), track.bits.end(),
                                             [&](const FskBitDecision& b) { return b.position < grid.first; });
  const auto endBit = std::partition_point(firstBit, track.bits.end(),
                                           [&](const FskBitDecision& b) { return b.position < grid.end; });
  panel.bits.assign(firstBit, endBit);
  for (const FskCharacterView& ch : track.characters) {
    if (ch.end > grid.first && ch.start < grid.end) panel.characters.push_back(ch);
  }
  for (const FskMessageView& m : track.messages) {
    if (grid.Contains(m.position - 1)) panel.messages.push_back(m);
  }
  return panel;
}

}  // namespace quorvane::plot
