#include "script/debug_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "platform/debug_output.h"

namespace quorvane {

std::FILE* DebugLogFile = nullptr;
int DebugLogWriteError = 0;

void DebugLog(const char* format, ...) {
  char line[kDebugLineBytes] = {};
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::size_t length = std::strlen(line);
  if (length == 0 || line[length - 1] != '\n') {
    // CR LF as far as it fits: the line never exceeds 1599 characters.
    if (length < kDebugLineBytes - 1) line[length++] = '\r';
    if (length < kDebugLineBytes - 1) line[length++] = '\n';
  }
  platform::OutputDebugText(line);
  errno = 0;
  if (DebugLogFile != nullptr && std::fwrite(line, 1, length, DebugLogFile) != length && DebugLogWriteError == 0) {
    DebugLogWriteError = errno ? errno : EIO;
  }
}

}  // namespace quorvane
