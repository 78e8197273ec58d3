// The DTMF detection run over a mu-law file: what button 1000 does,
// without any form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/frame_run.h"
#include "dtmf/key_event.h"

namespace quorvane {

struct DtmfRunResult {
  std::string digits;                // every reported digit, in order
  std::vector<DtmfKeyEvent> events;  // kept only when asked for; start: file position of the frame
  std::int64_t frames = 0;           // whole frames processed
};

// Runs a fresh exact detector over `file` (opened at its rotating start
// offset, see PcmRawFile::OpenAtRotatingOffset) to its end. False, with the
// reason, when a read failed first; `result` then holds what was found
// before it. Memory stays flat unless `keepEvents` asks for every digit's
// position.
bool RunDtmfDetection(PcmRawFile& file, DtmfRunResult* result, std::string* error, bool keepEvents = false);

// The process-wide rotating start offset of the window's DTMF runs.
std::int32_t& DtmfStartOffset();

}  // namespace quorvane
