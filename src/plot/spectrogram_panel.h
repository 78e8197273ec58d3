// The spectrogram panel: 0-4 kHz per pixel column, in dBm0.
#pragma once

#include <cstdint>
#include <vector>

#include "plot/column_grid.h"

namespace quorvane::plot {

inline constexpr int kSpectrumSize = 256;                 // samples per transform (32 ms)
inline constexpr int kSpectrumBins = kSpectrumSize / 2 + 1;  // 0 .. 4000 Hz in 31.25 Hz steps
inline constexpr double kSpectrumBinHz = 8000.0 / kSpectrumSize;

struct SpectrogramPanel {
  int columns = 0;
  // columns x kSpectrumBins levels in dBm0 (the level of a sine at that
  // bin), column by column; a column takes the loudest of its transforms so
  // short bursts stay visible when zoomed out.
  std::vector<float> level;
  bool operator==(const SpectrogramPanel&) const = default;
  float At(int column, int bin) const { return level[static_cast<std::size_t>(column) * kSpectrumBins + bin]; }
};

SpectrogramPanel BuildSpectrogramPanel(const std::int16_t* samples, std::int64_t count, const ColumnGrid& grid);

}  // namespace quorvane::plot
