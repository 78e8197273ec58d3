// The driver initialisation script: register writes and waits, parsed and
// logged. No device is touched and no pause is made.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

inline constexpr char kDriverScriptName[] = "NET_7Q408.txt";
inline constexpr char kDriverLogName[] = "DrvInitLog.txt";

struct DriverScriptRun {
  int result = 0;          // 0 after a run; -1 script missing, or the log not completely written
  bool scriptOpened = false;
  bool logOpened = false;
  bool logWriteFailed = false;  // the log opened but a write or its close failed
  bool scriptReadFailed = false;  // reading stopped at an error, not at the end
  std::string scriptError;
  std::string logError;
};

// Runs `scriptPath`, logging to `logPath`, which is created afresh first.
DriverScriptRun RunDriverScript(const std::string& scriptPath, const std::string& logPath);

// The fixed files in the d: folder; returns the run's result.
int RunDriverScript();

// One script line as read (its line end still attached).
void ExecuteScriptLine(const char* line);

// Hex digits of `text`, everything else skipped; 16-bit arithmetic.
std::uint16_t ParseHexValue(const char* text);

// Removes leading and trailing spaces (0x20 only) in place.
void TrimSpaces(char* text);

// Stands for the device write; does nothing.
void WriteRegister(std::uint8_t reg, std::uint16_t value);

}  // namespace quorvane
