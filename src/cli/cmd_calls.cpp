// quorvane calls [--detector P] [--json|--jsonl] CAPTURE...
#include <memory>
#include <string>
#include <vector>

#include "calls/call_analysis.h"
#include "cli/commands.h"
#include "cli/stop_signals.h"
#include "io/calls/call_capture_reader.h"
#include "report/calls_report.h"

namespace quorvane::cli {
namespace {

struct CallsArgs {
  std::string detector = "exact";
  bool json = false;
  bool jsonl = false;
  std::vector<std::string> inputs;
};

int RunCalls(const CallsArgs& args) {
  const OutputForm form = args.json ? OutputForm::Json : args.jsonl ? OutputForm::JsonLines : OutputForm::Text;
  CallsWriter writer(form);
  CallAnalysis analysis(args.detector == "robust" ? DetectorProfile::Robust : DetectorProfile::Exact, writer);
  const std::atomic<bool>& stop = StopOnSignals();
  for (const std::string& path : args.inputs) {
    if (stop.load()) break;
    writer.Input(path);
    std::string error;
    if (!io::ReadCallCapture(path, analysis, &error, &stop)) writer.InputFailed(path, error);
  }
  const bool read = writer.Finish();
  if (stop.load()) return kExitInterrupted;
  return read ? kExitOk : kExitFailure;
}

}  // namespace

CommandRunner AttachCalls(CLI::App& sub) {
  auto args = std::make_shared<CallsArgs>();
  sub.description(
      "Follow the calls of packet captures (pcap or pcapng; - reads one from standard input):\n"
      "the SIP dialogs over UDP and TCP, IPv4 and IPv6, the RTP streams their SDP ties to\n"
      "them, and the DTMF keys of each direction on all three paths: in-band tones in the\n"
      "audio, RFC 4733 telephone events and SIP INFO (application/dtmf-relay, application/dtmf).\n"
      "Each call gets a verdict: where the paths disagree, or send a key twice. RTP streams no\n"
      "SDP explains are listed as calls of their own (no Call-ID), one per address pair.\n"
      "Text: one block per call, a header line (start, Call-ID, from -> to, outcome, codecs)\n"
      "and one line per direction with each path's keys and the verdict.\n"
      "Exit status: 0 all captures read, 1 a capture could not be read (others are still\n"
      "done), 2 usage error, 130 interrupted (the calls begun are reported as they stand).");
  sub.add_option("--detector", args->detector, "In-band detector profile: exact (default) or robust")
      ->check(CLI::IsMember({"exact", "robust"}));
  CLI::Option* json = sub.add_flag(
      "--json", args->json,
      "Print a JSON array, one object per call: file, callId, from, to, start, answered, end, outcome, status, "
      "streams, keys, findings, agree");
  sub.add_flag("--jsonl", args->jsonl,
               "Print JSON Lines: one object per key as it is found, then one per call when it ends, "
               "with \"done\": true")
      ->excludes(json);
  sub.add_option("CAPTURE", args->inputs, "pcap or pcapng captures; - for standard input")->required();
  return [args] { return RunCalls(*args); };
}

}  // namespace quorvane::cli
