// What a file tool reports.
#pragma once

#include <string>

namespace quorvane {

enum class ToolStatus {
  Done,
  NothingToDo,       // generator: no save path or no byte list
  BadRepeatCount,    // generator: not within 0..99999
  InputOpenFailed,   // hum remover: the recording cannot be opened
  ReadFailed,        // hum remover: reading the recording failed before its end
  OutputOpenFailed,  // the destination cannot be written
  WriteFailed,       // writing, flushing, closing or the final rename failed
};

struct ToolResult {
  ToolStatus status = ToolStatus::Done;
  std::string reason;  // the system's reason for a failure
};

}  // namespace quorvane
