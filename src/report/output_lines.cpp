#include "report/output_lines.h"

#include <cstdio>

namespace quorvane {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "quorvane: %s: %s\n", subject.c_str(), reason.c_str());
  std::fflush(stderr);
}

}  // namespace quorvane
