// The caller-ID detection run over a mu-law file: what button 1013 and
// `quorvane callerid` do, without any form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/frame_run.h"

namespace quorvane {

struct CallerIdMessage {
  std::int64_t frameStartByte;  // file position of the frame in which it completed
  std::int32_t messageType;     // 0x04 single, 0x80 multiple data message
  std::string number;
  std::string name;
  std::int32_t statusFlags;
};

struct FskRunResult : FrameRunStatus {
  std::string number;       // number of the last accepted message ("" when none)
  std::vector<CallerIdMessage> messages;  // every accepted message, in order
};

// Runs a fresh FskReceiver (Init(mode): 1 Bell 202, 2 V.23) over `path`.
// When the file opens, `startOffset` is reduced modulo 160, that many bytes
// are skipped, and it advances by 5.
FskRunResult RunFskDetection(const std::string& path, std::int32_t& startOffset, std::int32_t mode = 1);

// The process-wide rotating start offset of the window's FSK runs.
std::int32_t& FskStartOffset();

}  // namespace quorvane
