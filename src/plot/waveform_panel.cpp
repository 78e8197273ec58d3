#include "plot/waveform_panel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvane::plot {

WaveformPanel BuildWaveformPanel(const std::int16_t* samples, const ColumnGrid& grid) {
  WaveformPanel panel;
  panel.grid = grid;
  panel.minimum.resize(static_cast<std::size_t>(grid.columns));
  panel.maximum.resize(static_cast<std::size_t>(grid.columns));
  for (int c = 0; c < grid.columns; ++c) {
    const std::int64_t begin = grid.ColumnStart(c);
    const std::int64_t end = std::max(grid.ColumnStart(c + 1), std::min(begin + 1, grid.end));
    std::int16_t low = std::numeric_limits<std::int16_t>::max();
    std::int16_t high = std::numeric_limits<std::int16_t>::min();
    for (std::int64_t s = std::min(begin, grid.end - 1); s < end; ++s) {
      low = std::min(low, samples[s]);
      high = std::max(high, samples[s]);
    }
    panel.minimum[static_cast<std::size_t>(c)] = low;
    panel.maximum[static_cast<std::size_t>(c)] = high;
  }
  if (grid.Samples() <= static_cast<std::int64_t>(grid.columns) * kSamplesDrawnPerColumn) {
    panel.samples.assign(samples + grid.first, samples + grid.end);
  }
  return panel;
}

double PeakToDbm0(double peak) {
  return peak <= 0.0 ? -std::numeric_limits<double>::infinity() : 20.0 * std::log10(peak / kZeroDbm0Peak);
}

double Dbm0ToPeak(double dbm0) { return kZeroDbm0Peak * std::pow(10.0, dbm0 / 20.0); }

}  // namespace quorvane::plot
