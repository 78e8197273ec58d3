#include "cli/cli_support.h"

#include <cstdio>

#include "codec/ulaw.h"

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

void AddOffsetOption(CLI::App& sub, std::int64_t& offset) {
  sub.add_option("--offset", offset,
                 "Bytes to skip at the start of each file before the first frame "
                 "(taken modulo 160; default 0)")
      ->check(CLI::NonNegativeNumber);
}

double BytesToSeconds(std::int64_t position) {
  return static_cast<double>(position) / kSampleRate;
}

}  // namespace quorvane::cli
