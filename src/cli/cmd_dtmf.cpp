// quorvane dtmf [--offset B] [--json] FILE...
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "dtmf/dtmf_run.h"

namespace quorvane::cli {
namespace {

struct DtmfArgs {
  std::int64_t offset = 0;
  bool json = false;
  std::vector<std::string> files;
};

int RunDtmf(const DtmfArgs& args) {
  return DetectInFiles(args.files, args.json, [&args](const std::string& path) {
    // Every file starts at the same offset: no rotation between files.
    std::int32_t offset = static_cast<std::int32_t>(args.offset % 160);
    const DtmfRunResult run = RunDtmfDetection(path, offset, args.json);
    FileOutcome outcome{DetectionFailure(run), run.digits, {}};
    if (!args.json) return outcome;
    outcome.jsonMembers = "\"digits\":" + nlohmann::json(run.digits).dump() + "," +
                          JsonArrayMember("events", run.events, [](const DtmfDigitEvent& e) {
                            return nlohmann::json{{"digit", std::string(1, e.digit)},
                                                  {"time", BytesToSeconds(e.frameStartByte)}};
                          });
    return outcome;
  });
}

}  // namespace

CommandRunner AttachDtmf(CLI::App& sub) {
  auto args = std::make_shared<DtmfArgs>();
  sub.description(
      "Find the DTMF digits in mu-law .pcm recordings (8000 samples/s, no header).\n"
      "One file: prints its digits. Several files: one line FILE<TAB>DIGITS each.\n"
      "Exit status: 0 all files read, 1 a file could not be read (the others are\n"
      "still done), 2 usage error.");
  AddOffsetOption(sub, args->offset);
  sub.add_flag("--json", args->json,
               "Print a JSON array, one object per file: file, digits and events "
               "(digit, time in seconds of the 20 ms frame that reported it)");
  sub.add_option("FILE", args->files, "mu-law .pcm recordings")->required();
  return [args] { return RunDtmf(*args); };
}

}  // namespace quorvane::cli
