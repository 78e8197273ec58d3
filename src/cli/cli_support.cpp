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

void DebugTextToStdout(void* /*context*/, const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void AddOffsetOption(CLI::App& sub, std::int64_t& offset) {
  sub.add_option("--offset", offset,
                 "Bytes to skip at the start of each file before the first frame "
                 "(taken modulo 160; default 0)")
      ->check(CLI::NonNegativeNumber);
}

std::string DetectionFailure(const FrameRunStatus& run) {
  if (!run.opened) return run.error;
  if (run.readFailed) return "read failed: " + run.error;
  if (run.frames == 0) return "no whole 20 ms frame (160 bytes) after the start offset: nothing to detect";
  return {};
}

int DetectInFiles(const std::vector<std::string>& files, bool json,
                  const std::function<FileOutcome(const std::string&)>& detect) {
  int status = 0;
  // The JSON array goes out one file at a time, so only one file's
  // results are ever held.
  const char* separator = "[";
  for (const std::string& path : files) {
    FileOutcome outcome = detect(path);
    std::string entry = "{\"file\":" + nlohmann::json(path).dump() + ",";
    if (!outcome.error.empty()) {
      PrintError(path, outcome.error);
      status = 1;
      entry += "\"error\":" + nlohmann::json(outcome.error).dump();
    } else if (json) {
      entry += outcome.jsonMembers;
    } else {
      PrintLine(files.size() > 1 ? path + "\t" + outcome.text : outcome.text);
    }
    if (json) {
      std::fputs(separator, stdout);
      std::fputs(entry.c_str(), stdout);
      std::fputs("}", stdout);
      separator = ",";
    }
  }
  if (json) {
    if (files.empty()) std::fputs("[", stdout);
    PrintLine("]");
  }
  return status;
}

double BytesToSeconds(std::int64_t position) {
  return static_cast<double>(position) / kSampleRate;
}

}  // namespace quorvane::cli
