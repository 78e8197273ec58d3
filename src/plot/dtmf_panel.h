// The DTMF panel: what the exact detector measured in each 102-sample block,
// what it decided, and which digits it admitted; or the robust detector's
// 5 ms sub-blocks and reported tones.
#pragma once

#include <cstdint>
#include <vector>

#include "plot/column_grid.h"
#include "plot/track_span.h"

namespace quorvane::plot {

enum class DtmfProfile { kExact, kRobust };

struct DtmfBlockView {
  std::int64_t start;     // first sample of the block
  std::int32_t length;    // samples in it (102; 40 for the robust sub-blocks)
  float rowPower[4];      // Goertzel power at 697, 770, 852, 941 Hz
  float colPower[4];      // at 1209, 1336, 1477, 1633 Hz
  float energy;           // sum of the block's squared samples
  std::int32_t result;    // the block's decision: a digit code, or 0 (robust: the key being followed)
  bool operator==(const DtmfBlockView&) const = default;
};

struct DtmfDigitMark {
  std::int64_t position;  // sample after the block that admitted it (robust: the tone's start)
  char digit;
  std::int64_t duration = 0;  // robust: the tone's length in samples
  float lowLevel = 0, highLevel = 0, twist = 0, snr = 0;  // robust: dBm0, dBm0, dB, dB
  bool operator==(const DtmfDigitMark&) const = default;
};

struct DtmfPanel {
  DtmfProfile profile = DtmfProfile::kExact;
  std::vector<DtmfBlockView> blocks;  // blocks that overlap the range
  std::vector<DtmfDigitMark> digits;  // exact: digits admitted inside the range; robust: tones reaching into it
  bool operator==(const DtmfPanel&) const = default;
};

// What one detector saw over a span of the stream, blocks and digits in
// stream order; the panel of any range inside the span is taken from it.
struct DtmfTrack {
  DtmfProfile profile = DtmfProfile::kExact;
  TrackSpan span;
  std::vector<DtmfBlockView> blocks;  // every block that overlaps the span
  std::vector<DtmfDigitMark> digits;  // as in the panel, for the span
};

// The detector's fixed thresholds, for drawing against.
inline constexpr double kDtmfMinTonePower = 1e9;     // each group's peak at least this
inline constexpr double kDtmfEnergyFactor = 42.0;    // peaks together above 42x the block energy

// Runs the exact detector from sample 0 over whole 160-sample frames, as
// the detection run does, up to the end of `span`.
DtmfTrack TrackExactDtmf(const std::int16_t* samples, std::int64_t count, TrackSpan span);

// Runs the robust detector from sample 0 past the end of `span` until the
// tones reaching into it are reported: per 5 ms sub-block its tone powers,
// energy and the key it follows, and its events.
DtmfTrack TrackRobustDtmf(const std::int16_t* samples, std::int64_t count, TrackSpan span);

// The panel of the grid's range, which must lie inside the track's span.
DtmfPanel DtmfPanelOf(const DtmfTrack& track, const ColumnGrid& grid);

// The block under sample `s`, or null where the track has none.
const DtmfBlockView* DtmfBlockAt(const DtmfTrack& track, std::int64_t s);

}  // namespace quorvane::plot
