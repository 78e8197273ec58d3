#include "cli/cli_support.h"

#include <cstdio>

namespace quorvane::cli {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "quorvane: %s: %s\n", subject.c_str(), reason.c_str());
  std::fflush(stderr);
}

void DebugTextToStdout(void* /*context*/, const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace quorvane::cli
