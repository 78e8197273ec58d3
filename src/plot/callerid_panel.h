// The caller-ID panel: the exact demodulator's low-pass output, the bit
// decisions it took, the characters they made and the accepted messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "callerid/tone_plan.h"
#include "plot/column_grid.h"

namespace quorvane::plot {

struct FskBitDecision {
  std::int64_t position;  // sample at which the bit was sampled
  bool mark;              // 1 (mark) or 0 (space)
};

struct FskCharacterView {
  std::int64_t start;      // sample at which the start bit was confirmed
  std::int64_t end;        // sample after its last stop bit
  std::int32_t value;      // data byte; bit 8 parity error, bit 9 framing error
};

struct FskMessageView {
  std::int64_t position;   // sample after its checksum character
  std::int32_t messageType;  // 0x04 single, 0x80 multiple data message
  std::vector<std::uint8_t> payload;
  std::string number;
  std::string name;
  std::int32_t statusFlags;
};

struct CallerIdPanel {
  TonePlan plan = TonePlan::Bell202;
  std::vector<float> traceMin;      // per column: least low-pass output (0 where none was made)
  std::vector<float> traceMax;      // per column: greatest
  std::vector<float> trace;         // per sample of the range, only when zoomed in
  std::vector<FskBitDecision> bits;             // bits sampled inside the range
  std::vector<FskCharacterView> characters;     // characters overlapping the range
  std::vector<FskMessageView> messages;         // messages accepted inside the range
};

// Runs the exact demodulator from sample 0 over whole 160-sample frames, the
// way the receiver feeds it, with the receiver's message decoder on every
// character without an error, and keeps what falls in the grid's range.
CallerIdPanel BuildCallerIdPanel(const std::int16_t* samples, std::int64_t count, const ColumnGrid& grid,
                                 TonePlan plan);

}  // namespace quorvane::plot
