// quorvane calls [--detector P] [--srtp-key K]... [-j N] [--json|--jsonl] CAPTURE...
// quorvane calls [--detector P] [--srtp-key K]... --interface IFACE [--filter EXPR]
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "calls/call_analysis.h"
#include "cli/commands.h"
#include "cli/srtp_key_option.h"
#include "cli/stop_signals.h"
#include "io/calls/call_capture_reader.h"
#include "report/calls_report.h"

namespace quorvane::cli {
namespace {

struct CallsArgs {
  std::string detector = "exact";
  bool json = false;
  bool jsonl = false;
  unsigned jobs = 0;  // 0: one per core
  std::vector<std::string> inputs;
  std::string interface;  // live capture from this network interface; "" reads the inputs
  std::string filter;
  std::vector<std::string> srtpKeys;  // --srtp-key, as given
};

// Live: JSON Lines as the calls go, until Ctrl-C or SIGTERM, which ends the
// calls in progress as incomplete.
int CaptureLive(const CallsArgs& args) {
  CallsWriter writer(OutputForm::JsonLines);
  CallAnalysis analysis(args.detector == "robust" ? DetectorProfile::Robust : DetectorProfile::Exact, writer);
  writer.Input(args.interface);
  std::string error;
  if (!io::CaptureCallsLive(args.interface, args.filter, analysis, SrtpKeysOf(args.srtpKeys), &error,
                            StopOnSignals())) {
    writer.InputFailed(args.interface, error);
    return kExitFailure;
  }
  return kExitOk;
}

void ReadInput(const CallsArgs& args, const std::string& path, CallsWriter& writer, const std::atomic<bool>& stop) {
  CallAnalysis analysis(args.detector == "robust" ? DetectorProfile::Robust : DetectorProfile::Exact, writer);
  writer.Input(path);
  std::string error;
  if (!io::ReadCallCapture(path, analysis, SrtpKeysOf(args.srtpKeys), &error, &stop)) writer.InputFailed(path, error);
}

// Captures run side by side, each one's output kept until those before it
// are printed: the output is the same for any number of jobs. At most
// `jobs` captures are begun and not yet printed.
void ReadInParallel(const CallsArgs& args, unsigned jobs, OutputForm form, CallsWriter& writer,
                    const std::atomic<bool>& stop) {
  const std::size_t count = args.inputs.size();
  std::vector<std::unique_ptr<CallsWriter>> kept(count);
  std::vector<bool> done(count, false);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;
  std::size_t printed = 0;
  const auto work = [&] {
    for (;;) {
      std::size_t i = 0;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return next >= count || next - printed < jobs; });
        if (next >= count) return;
        i = next++;
        kept[i] = std::make_unique<CallsWriter>(form, true);
      }
      if (!stop.load()) ReadInput(args, args.inputs[i], *kept[i], stop);
      std::lock_guard lock(mutex);
      done[i] = true;
      changed.notify_all();
    }
  };
  std::vector<std::jthread> workers;
  for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);
  for (std::size_t i = 0; i < count; ++i) {
    std::unique_ptr<CallsWriter> output;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return done[i]; });
      output = std::move(kept[i]);
    }
    output->Replay(writer);
    std::lock_guard lock(mutex);
    ++printed;
    changed.notify_all();
  }
}

int RunCalls(const CallsArgs& args) {
  if (!args.interface.empty()) return CaptureLive(args);
  const OutputForm form = args.json ? OutputForm::Json : args.jsonl ? OutputForm::JsonLines : OutputForm::Text;
  CallsWriter writer(form);
  const std::atomic<bool>& stop = StopOnSignals();
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned jobs = static_cast<unsigned>(std::min<std::size_t>(args.jobs != 0 ? args.jobs : cores, args.inputs.size()));
  if (jobs > 1) {
    ReadInParallel(args, jobs, form, writer, stop);
  } else {
    for (const std::string& path : args.inputs) {
      if (stop.load()) break;
      ReadInput(args, path, writer, stop);
    }
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
      "The audio may be in any codec dtmf decodes, and SRTP with keys from the SDP or --srtp-key.\n"
      "Each call gets a verdict: where the paths disagree, or send a key twice. RTP streams no\n"
      "SDP explains are listed as calls of their own (no Call-ID), one per address pair.\n"
      "Text: one block per call, a header line (start, Call-ID, from -> to, outcome, codecs)\n"
      "and one line per direction with each path's keys and the verdict.\n"
      "--interface captures live instead, printing JSON Lines as the calls go.\n"
      "Exit status: 0 all captures read, 1 a capture could not be read (others are still\n"
      "done), 2 usage error, 130 interrupted (the calls begun are reported as they stand).");
  sub.add_option("--detector", args->detector, "In-band detector profile: exact (default) or robust")
      ->check(CLI::IsMember({"exact", "robust"}));
  AddSrtpKeyOption(sub, args->srtpKeys);
  sub.add_option("-j,--jobs", args->jobs,
                 "Captures run side by side (default: one per core); the output is the same for any N, "
                 "in input order")
      ->check(CLI::Range(1u, 1024u));
  CLI::Option* json = sub.add_flag(
      "--json", args->json,
      "Print a JSON array, one object per call: file, callId, from, to, start, answered, end, outcome, status, "
      "streams, keys, findings, agree");
  sub.add_flag("--jsonl", args->jsonl,
               "Print JSON Lines: one object per key as it is found, then one per call when it ends, "
               "with \"done\": true")
      ->excludes(json);
  CLI::Option* captures = sub.add_option("CAPTURE", args->inputs, "pcap or pcapng captures; - for standard input");
  CLI::Option* interface =
      sub.add_option("--interface", args->interface,
                     "Capture live from this network interface (libpcap) until Ctrl-C, printing JSON Lines as "
                     "the calls go; each call is reported when it ends or after 120 s without a packet, and "
                     "the calls in progress at Ctrl-C as incomplete. Needs CAP_NET_RAW or root")
          ->type_name("IFACE")
          ->excludes(captures)
          ->excludes(json);
  sub.add_option("--filter", args->filter, "BPF filter of the live capture (default: udp or tcp)")
      ->type_name("EXPR")
      ->needs(interface);
  // CAPTURE is required only without --interface, which CLI11 cannot say itself.
  sub.parse_complete_callback([captures, interface] {
    if (captures->count() == 0 && interface->count() == 0) throw CLI::RequiredError("CAPTURE");
  });
  return [args] { return RunCalls(*args); };
}

}  // namespace quorvane::cli
