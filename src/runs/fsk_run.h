// The caller-ID detection run over a mu-law file: what button 1013 and
// `quorvane callerid` do, without any form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "callerid/events.h"
#include "callerid/tone_plan.h"
#include "codec/frame_run.h"

namespace quorvane {

struct FskRunResult : FrameRunStatus {
  std::string number;       // number of the last accepted message ("" when none)
  std::vector<CallerIdMessageEvent> messages;  // every accepted message, in order; start: file
                                              // position of the frame in which it completed
};

// Runs a fresh exact receiver for `plan` over `path`.
// When the file opens, `startOffset` is reduced modulo 160, that many bytes
// are skipped, and it advances by 5.
FskRunResult RunFskDetection(const std::string& path, std::int32_t& startOffset, TonePlan plan = TonePlan::Bell202);

// The process-wide rotating start offset of the window's FSK runs.
std::int32_t& FskStartOffset();

}  // namespace quorvane
