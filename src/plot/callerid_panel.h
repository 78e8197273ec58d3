// The caller-ID panel: the exact demodulator's low-pass output, the bit
// decisions it took, the characters they made and the accepted messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "callerid/tone_plan.h"
#include "plot/column_grid.h"
#include "plot/track_span.h"

namespace quorvane::plot {

struct FskBitDecision {
  std::int64_t position;  // sample at which the bit was sampled
  bool mark;              // 1 (mark) or 0 (space)
  bool operator==(const FskBitDecision&) const = default;
};

struct FskCharacterView {
  std::int64_t start;      // sample at which the start bit was confirmed
  std::int64_t end;        // sample after its last stop bit
  std::int32_t value;      // data byte; bit 8 parity error, bit 9 framing error
  bool operator==(const FskCharacterView&) const = default;
};

struct FskMessageView {
  std::int64_t position;   // sample after its checksum character
  std::int32_t messageType;  // 0x04 single, 0x80 multiple data message
  std::vector<std::uint8_t> payload;
  std::string number;
  std::string name;
  std::int32_t statusFlags;
  bool operator==(const FskMessageView&) const = default;
};

struct CallerIdPanel {
  TonePlan plan = TonePlan::Bell202;
  std::vector<float> traceMin;      // per column: least low-pass output (0 where none was made)
  std::vector<float> traceMax;      // per column: greatest
  std::vector<float> trace;         // per sample of the range, only when zoomed in
  std::vector<FskBitDecision> bits;             // bits sampled inside the range
  std::vector<FskCharacterView> characters;     // characters overlapping the range
  std::vector<FskMessageView> messages;         // messages accepted inside the range
  bool operator==(const CallerIdPanel&) const = default;
};

// What the demodulator saw over a span of the stream, in stream order; the
// panel of any range inside the span is taken from it.
struct CallerIdTrack {
  TonePlan plan = TonePlan::Bell202;
  TrackSpan span;
  std::vector<float> lowPass;  // per sample from span.first until the demodulator stopped
  std::vector<FskBitDecision> bits;
  std::vector<FskCharacterView> characters;
  std::vector<FskMessageView> messages;
};

// Runs the exact demodulator from sample 0 over whole 160-sample frames, the
// way the receiver feeds it, with the receiver's message decoder on every
// character without an error, up to the end of `span`.
CallerIdTrack TrackCallerId(const std::int16_t* samples, std::int64_t count, TrackSpan span, TonePlan plan);

// The panel of the grid's range, which must lie inside the track's span.
CallerIdPanel CallerIdPanelOf(const CallerIdTrack& track, const ColumnGrid& grid);

}  // namespace quorvane::plot
