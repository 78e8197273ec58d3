// ExecuteScriptLine and RunDriverScript on arbitrary script bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/debug_output.h"
#include "script/driver_script.h"

namespace {

void Discard(void*, const char*) {}

std::string ScratchPath(const char* name) {
  return std::string("/tmp/quorvane-fuzz-") + std::to_string(getpid()) + "-" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvane::platform::SetDebugOutputSink(Discard, nullptr);
  // One line as the runner would hand it over (at most 254 characters),
  // and one of any length.
  const std::string text(reinterpret_cast<const char*>(data), size);
  quorvane::ExecuteScriptLine(text.substr(0, 254).c_str());
  quorvane::ExecuteScriptLine(text.c_str());

  const std::string script = ScratchPath("script.txt");
  const std::string log = ScratchPath("log.txt");
  if (std::FILE* f = std::fopen(script.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const quorvane::DriverScriptRun run = quorvane::RunDriverScript(script, log);
  if (run.result != 0) std::abort();
  std::remove(script.c_str());
  std::remove(log.c_str());
  return 0;
}
