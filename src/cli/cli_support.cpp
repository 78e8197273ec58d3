#include "cli/cli_support.h"

#include <cstdio>

namespace quorvane::cli {

void DebugTextToStdout(void* /*context*/, const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace quorvane::cli
