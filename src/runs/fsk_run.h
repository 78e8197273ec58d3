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

struct FskRunResult {
  std::string number;       // number of the last accepted message ("" when none)
  std::vector<CallerIdMessageEvent> messages;  // every accepted message, in order; start: file
                                              // position of the frame in which it completed
  std::int64_t frames = 0;  // whole frames processed
};

// Runs a fresh exact receiver for `plan` over `file` (opened at its rotating
// start offset, see PcmRawFile::OpenAtRotatingOffset) to its end. False,
// with the reason, when a read failed first; `result` then holds what was
// found before it.
bool RunFskDetection(PcmRawFile& file, FskRunResult* result, std::string* error, TonePlan plan = TonePlan::Bell202);

// The process-wide rotating start offset of the window's FSK runs.
std::int32_t& FskStartOffset();

}  // namespace quorvane
