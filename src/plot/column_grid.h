// How a time range of samples is spread over the pixel columns of a plot.
#pragma once

#include <cstdint>

namespace quorvane::plot {

// Samples [first, end) over `columns` columns. Column c holds the samples
// [ColumnStart(c), ColumnStart(c + 1)), so every sample lies in exactly one
// column; when there are fewer samples than columns some columns are empty.
struct ColumnGrid {
  std::int64_t first = 0;
  std::int64_t end = 0;
  int columns = 1;

  std::int64_t Samples() const { return end - first; }
  std::int64_t ColumnStart(int c) const { return first + Samples() * c / columns; }
  // The column that holds sample s (s in [first, end)).
  int ColumnOf(std::int64_t s) const { return static_cast<int>(((s - first) * columns + columns - 1) / Samples()); }
  bool Contains(std::int64_t s) const { return s >= first && s < end; }
  bool operator==(const ColumnGrid&) const = default;
};

}  // namespace quorvane::plot
