// Output helpers shared by the subcommands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "codec/frame_run.h"

namespace quorvane::cli {

// "quorvane" and the full version, with the git revision when built from a
// checkout. Defined in its own file, so a new revision rebuilds only that.
extern const char* const kVersionText;

// One line on stdout, flushed so pipes see it at once.
void PrintLine(const std::string& text);

// One line on stderr: "quorvane: <subject>: <reason>".
void PrintError(const std::string& subject, const std::string& reason);

// A debug-output sink that prints each text on stdout.
void DebugTextToStdout(void* context, const char* text);

// --offset as taken by the detection commands: non-negative, modulo 160.
void AddOffsetOption(CLI::App& sub, std::int64_t& offset);

// What a detection command found in one file: an error, or the text of
// its line and the members of its JSON object (after "file"), as JSON text.
struct FileOutcome {
  std::string error;
  std::string text;
  std::string jsonMembers;
};

// `"key":[item,item,...]` with each item dumped as it comes, so a long list
// is never held as a JSON tree.
template <typename Items, typename ToJson>
std::string JsonArrayMember(const char* key, const Items& items, ToJson toJson) {
  std::string out = nlohmann::json(key).dump() + ":[";
  const char* separator = "";
  for (const auto& item : items) {
    out.append(separator).append(toJson(item).dump());
    separator = ",";
  }
  return out + "]";
}

// Why a detection run over a file gave no answer, or "" when it did.
std::string DetectionFailure(const FrameRunStatus& run);

// Runs `detect` on every file and prints the results: one file, its text;
// several, FILE<TAB>TEXT lines; with `json`, one array. Errors go to
// stderr. Returns the exit status.
int DetectInFiles(const std::vector<std::string>& files, bool json,
                  const std::function<FileOutcome(const std::string&)>& detect);

// Seconds from the start of the file of byte `position` (8000 bytes/s).
double BytesToSeconds(std::int64_t position);

}  // namespace quorvane::cli
