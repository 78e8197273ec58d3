#include "script/driver_script.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/drive_d.h"
#include "script/debug_log.h"

namespace quorvane {
namespace {

constexpr int kLineBuffer = 256;
constexpr int kReadLimit = 255;  // at most 254 characters per piece

bool IsWaitKeyword(const char* field) {
  return strcasecmp(field, "wait") == 0 || strcasecmp(field, "delay") == 0 || strcasecmp(field, "sleep") == 0;
}

// Leading white space, an optional sign, digits up to the first other
// character; 0 without digits. Saturates at the 32-bit limits.
std::int32_t ParseWaitTime(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= INT_MAX) value = value * 10 + (*p - '0');  // past the limit it only saturates
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
}

// A field names a hex value, after an optional "0x" (lower-case x).
std::uint16_t HexField(const char* field) {
  return ParseHexValue(field[0] == '0' && field[1] == 'x' ? field + 2 : field);
}

std::string Reason(int code) { return std::strerror(code ? code : EIO); }

}  // namespace

std::uint16_t ParseHexValue(const char* text) {
  std::uint16_t value = 0;
  for (const char* p = text; *p != 0; ++p) {
    int digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (*p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
    else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else continue;
    value = static_cast<std::uint16_t>(value * 16 + digit);
  }
  return value;
}

void TrimSpaces(char* text) {
  std::size_t start = 0;
  while (text[start] == ' ') ++start;
  std::size_t end = std::strlen(text);
  while (end > start && text[end - 1] == ' ') --end;
  std::memmove(text, text + start, end - start);
  text[end - start] = 0;
}

void WriteRegister(std::uint8_t /*reg*/, std::uint16_t /*value*/) {}

void ExecuteScriptLine(const char* line) {
  char first[kLineBuffer] = {};
  char second[kLineBuffer] = {};
  // The line itself is an argument, never a format.
  if (std::sscanf(line, "%255[^,],%255s", first, second) != 2) {
    DebugLog("Error Cmd: %s", line);
    return;
  }
  TrimSpaces(first);
  TrimSpaces(second);
  if (IsWaitKeyword(first)) {
    DebugLog("wait: %d", ParseWaitTime(second));
    return;
  }
  const auto reg = static_cast<std::uint8_t>(HexField(first) & 0xFF);
  const std::uint16_t value = HexField(second);
  WriteRegister(reg, value);
  DebugLog("0x%02x,0x%x", static_cast<unsigned>(reg), static_cast<unsigned>(value));
}

DriverScriptRun RunDriverScript(const std::string& scriptPath, const std::string& logPath) {
  DriverScriptRun run;
  errno = 0;
  std::FILE* script = std::fopen(scriptPath.c_str(), "rb");
  if (!script) run.scriptError = Reason(errno);
  // The log is made afresh before the script is looked at, so every run
  // leaves one, empty when the script is missing.
  errno = 0;
  DebugLogFile = std::fopen(logPath.c_str(), "wb");
  if (!DebugLogFile) run.logError = Reason(errno);
  run.scriptOpened = script != nullptr;
  run.logOpened = DebugLogFile != nullptr;
  DebugLogWriteError = 0;

  if (script) {
    char line[kLineBuffer];
    while (std::fgets(line, kReadLimit, script) != nullptr) ExecuteScriptLine(line);
    if (std::ferror(script)) {
      run.scriptReadFailed = true;
      run.scriptError = Reason(errno);
    }
    std::fclose(script);
  }
  if (DebugLogFile) {
    errno = 0;
    if (std::fclose(DebugLogFile) != 0 && DebugLogWriteError == 0) DebugLogWriteError = errno ? errno : EIO;
    run.logWriteFailed = DebugLogWriteError != 0;
    if (run.logWriteFailed) run.logError = Reason(DebugLogWriteError);
  }
  DebugLogFile = nullptr;
  run.result = (!script || run.logWriteFailed) ? -1 : 0;
  return run;
}

int RunDriverScript() {
  return RunDriverScript(platform::DriveDPath(kDriverScriptName), platform::DriveDPath(kDriverLogName)).result;
}

}  // namespace quorvane
