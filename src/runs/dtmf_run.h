// The DTMF detection run over a mu-law file: what button 1000 and
// `quorvane dtmf` do, without any form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/frame_run.h"
#include "dtmf/key_event.h"

namespace quorvane {

struct DtmfRunResult : FrameRunStatus {
  std::string digits;       // every reported digit, in order
  std::vector<DtmfKeyEvent> events;  // kept only when asked for; start: file position of the frame
};

// Runs a fresh DtmfChannel over `path`. When the file opens, `startOffset`
// is reduced modulo 160, that many bytes are skipped, and it advances by 5.
// Memory stays flat unless `keepEvents` asks for every digit's position.
DtmfRunResult RunDtmfDetection(const std::string& path, std::int32_t& startOffset, bool keepEvents = false);

// The process-wide rotating start offset of the window's DTMF runs.
std::int32_t& DtmfStartOffset();

}  // namespace quorvane
