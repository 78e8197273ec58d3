#include "plot/dtmf_panel.h"

#include <algorithm>

namespace quorvane::plot {

DtmfPanel DtmfPanelOf(const DtmfTrack& track, const ColumnGrid& grid) {
  DtmfPanel panel;
  panel.profile = track.profile;
  const auto first = std::partition_point(track.blocks.begin(), track.blocks.end(), [&](const DtmfBlockView& b) {
    return b.start + b.length <= grid.first;
  });
  const auto end = std::partition_point(first, track.blocks.end(), [&](const DtmfBlockView& b) {
    return b.start < grid.end;
  });
  panel.blocks.assign(first, end);
  for (const DtmfDigitMark& d : track.digits) {
    // The exact detector admits a digit at a block's end; a robust tone is
    // shown wherever it sounds.
    const bool shown = track.profile == DtmfProfile::kExact
                           ? d.position > grid.first && d.position <= grid.end
                           : d.position + d.duration > grid.first && d.position < grid.end;
    if (shown) panel.digits.push_back(d);
  }
  return panel;
}

const DtmfBlockView* DtmfBlockAt(const DtmfTrack& track, std::int64_t s) {
  const auto after = std::partition_point(track.blocks.begin(), track.blocks.end(),
                                          [&](const DtmfBlockView& b) { return b.start <= s; });
  if (after == track.blocks.begin()) return nullptr;
  const DtmfBlockView& block = *(after - 1);
  return s < block.start + block.length ? &block : nullptr;
}

}  // namespace quorvane::plot
