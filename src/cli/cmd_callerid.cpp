// quorvane callerid [--offset B] [--v23] [--json] FILE...
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "fsk/fsk_receiver.h"
#include "fsk/fsk_run.h"

namespace quorvane::cli {
namespace {

struct CallerIdArgs {
  std::int64_t offset = 0;
  bool v23 = false;
  bool json = false;
  std::vector<std::string> files;
};

nlohmann::json MessageJson(const CallerIdMessage& m) {
  return {{"time", BytesToSeconds(m.frameStartByte)},
          {"type", m.messageType == kMultipleDataMessage ? "MDMF" : "SDMF"},
          {"number", m.number},
          {"name", m.name},
          {"numberWithheld", (m.statusFlags & NumberWithheld) != 0},
          {"numberUnavailable", (m.statusFlags & NumberUnavailable) != 0},
          {"nameWithheld", (m.statusFlags & NameWithheld) != 0},
          {"nameUnavailable", (m.statusFlags & NameUnavailable) != 0}};
}

int RunCallerId(const CallerIdArgs& args) {
  return DetectInFiles(args.files, args.json, [&args](const std::string& path) {
    std::int32_t offset = static_cast<std::int32_t>(args.offset % 160);
    const FskRunResult run = RunFskDetection(path, offset, args.v23 ? 2 : 1);
    FileOutcome outcome{DetectionFailure(run), run.number, {}};
    if (!args.json) return outcome;
    outcome.jsonMembers = "\"number\":" + nlohmann::json(run.number).dump() + "," +
                          JsonArrayMember("messages", run.messages, MessageJson);
    return outcome;
  });
}

}  // namespace

CommandRunner AttachCallerId(CLI::App& sub) {
  auto args = std::make_shared<CallerIdArgs>();
  sub.description(
      "Decode the FSK caller-ID messages in mu-law .pcm recordings (8000 samples/s).\n"
      "One file: prints the number of the last accepted message (an empty line when\n"
      "none). Several files: one line FILE<TAB>NUMBER each.\n"
      "Exit status: 0 all files read, 1 a file could not be read (the others are\n"
      "still done), 2 usage error.");
  AddOffsetOption(sub, args->offset);
  sub.add_flag("--v23", args->v23, "V.23 tones (mark 1300 Hz, space 2100 Hz) instead of Bell 202 (1200/2200 Hz)");
  sub.add_flag("--json", args->json,
               "Print a JSON array, one object per file: file, number and every accepted message "
               "(time, type, number, name and the four absence flags)");
  sub.add_option("FILE", args->files, "mu-law .pcm recordings")->required();
  return [args] { return RunCallerId(*args); };
}

}  // namespace quorvane::cli
