// The stretch of a stream whose detector details a track keeps.
#pragma once

#include <cstdint>
#include <limits>

namespace quorvane::plot {

// Samples [first, end). The detectors still run from sample 0, so what they
// show inside the span is what a run over the whole stream decided there;
// the end may lie past the stream (the whole stream then).
struct TrackSpan {
  std::int64_t first = 0;
  std::int64_t end = std::numeric_limits<std::int64_t>::max();

  bool Contains(std::int64_t s) const { return s >= first && s < end; }
  bool Holds(std::int64_t from, std::int64_t to) const { return from >= first && to <= end; }
};

}  // namespace quorvane::plot
