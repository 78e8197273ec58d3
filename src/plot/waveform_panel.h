// The waveform panel: a min/max envelope per pixel column, or the samples
// themselves when few enough are shown to draw one by one.
#pragma once

#include <cstdint>
#include <vector>

#include "plot/column_grid.h"

namespace quorvane::plot {

// The peak of a sine at 0 dBm0.
inline constexpr double kZeroDbm0Peak = 22700.0;

struct WaveformPanel {
  ColumnGrid grid;
  std::vector<std::int16_t> minimum;  // per column: least sample (the sample under it if empty)
  std::vector<std::int16_t> maximum;  // per column: greatest sample
  std::vector<std::int16_t> samples;  // the range's samples, only when zoomed in
  bool operator==(const WaveformPanel&) const = default;
};

// Keeps the samples themselves up to this many samples per column.
inline constexpr int kSamplesDrawnPerColumn = 4;

WaveformPanel BuildWaveformPanel(const std::int16_t* samples, const ColumnGrid& grid);

// Level in dBm0 of a sine whose peak is `peak` (minus infinity at 0).
double PeakToDbm0(double peak);
double Dbm0ToPeak(double dbm0);

}  // namespace quorvane::plot
