// quorvane dtmf [--offset N] [--detector P] [input options] [--json|--jsonl] [--label NAME] [--files-from FILE [-0]] INPUT...
#include <memory>

#include "cli/commands.h"
#include "cli/detection_command.h"

namespace quorvane::cli {

CommandRunner AttachDtmf(CLI::App& sub) {
  auto args = std::make_shared<DetectionArgs>();
  sub.description(
      "Find the DTMF digits in recordings: WAV and other containers, packet captures,\n"
      "or headerless samples (mu-law at 8000 samples/s unless --input-format/--rate\n"
      "say otherwise). Each channel (PATH#N) and each RTP stream (PATH@0xSSRC) is a\n"
      "stream of its own. One stream: prints its digits. Several: one line\n"
      "NAME<TAB>DIGITS each. RFC 4733 key presses of an RTP stream are listed\n"
      "apart, in --json and --jsonl.\n" +
      std::string(kDetectionHelpTail));
  AddDetectionOptions(sub, *args,
                      "file, channel where it applies, input, digits and events (digit, time in seconds "
                      "of the 20 ms frame that reported it, source: audio or rtp-event), and for RTP streams "
                      "stream and telephoneEvents");
  return [args] {
    DetectionCommand command;
    command.settings.kind = DetectorKind::Dtmf;
    command.eventsKey = "events";
    command.telephoneEvents = true;
    return RunDetection(*args, command);
  };
}

}  // namespace quorvane::cli
