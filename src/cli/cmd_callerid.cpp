// quorvane callerid [--offset N] [--v23|--bell] [--detector P] [input options] [--json|--jsonl] [--label NAME] [--files-from FILE [-0]] INPUT...
#include <memory>

#include "cli/commands.h"
#include "cli/detection_command.h"

namespace quorvane::cli {
namespace {

struct CallerIdArgs : DetectionArgs {
  bool v23 = false;
  bool bell = false;
};

}  // namespace

CommandRunner AttachCallerId(CLI::App& sub) {
  auto args = std::make_shared<CallerIdArgs>();
  sub.description(
      "Decode the FSK caller-ID messages in recordings: WAV and other containers,\n"
      "packet captures, or headerless samples (mu-law at 8000 samples/s unless\n"
      "--input-format/--rate say otherwise). Each channel (PATH#N) and each RTP\n"
      "stream (PATH@0xSSRC) is a stream of its own. One stream: prints the\n"
      "number of the last accepted message (an empty line when none). Several: one\n"
      "line NAME<TAB>NUMBER each.\n"
      "--detector robust: our receiver for real lines, which finds the tone plan by\n"
      "itself (--bell or --v23 forces one), reads every message type and parameter,\n"
      "the alerting tones and caller ID sent as DTMF digits.\n" +
      std::string(kDetectionHelpTail));
  CLI::Option* v23 =
      sub.add_flag("--v23", args->v23, "V.23 tones (mark 1300 Hz, space 2100 Hz) instead of Bell 202 (1200/2200 Hz)");
  sub.add_flag("--bell", args->bell, "Bell 202 tones (mark 1200 Hz, space 2200 Hz); the exact detector's default")->excludes(v23);
  AddDetectionOptions(sub, *args,
                      "file, channel where it applies, input, number and every accepted message "
                      "(time, type, number, name and the four absence flags; robust: also tonePlan, date, "
                      "the other decoded fields, parameters, level, and the stream's alerts and rejected count)");
  return [args] {
    DetectionCommand command;
    command.settings.kind = DetectorKind::CallerId;
    command.settings.plan = args->v23 ? TonePlan::V23 : args->bell ? TonePlan::Bell202 : TonePlan::Auto;
    command.eventsKey = "messages";
    command.countEventsWhenDone = true;
    return RunDetection(*args, command);
  };
}

}  // namespace quorvane::cli
