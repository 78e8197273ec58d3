#include "cli/detection_command.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/device_detection.h"
#include "cli/parallel_inputs.h"
#include "cli/parallel_streams.h"
#include "cli/srtp_key_option.h"
#include "cli/stop_signals.h"
#include "codec/ulaw.h"
#include "io/device/device_name.h"
#include "io/input_reader.h"
#include "io/path_list.h"

namespace quorvane::cli {

void AddDetectionOptions(CLI::App& sub, DetectionArgs& args, const std::string& eventsHelp) {
  sub.add_option("--offset", args.offset,
                 "Samples to skip at the start of every stream before the first frame "
                 "(taken modulo 160; default 0)")
      ->check(CLI::NonNegativeNumber);
  sub.add_option("--detector", args.detector, "Detector profile: exact (default) or robust")
      ->check(CLI::IsMember({"exact", "robust"}));
  CLI::Option* inputFormat = sub.add_option("--input-format", args.inputFormat,
                 "Sample format of headerless input: ulaw (default), alaw, s16le, s16be, f32le")
      ->check(CLI::IsMember({"ulaw", "alaw", "s16le", "s16be", "f32le"}));
  CLI::Option* rate = sub.add_option("--rate", args.rate, "Sample rate of headerless input in Hz (default 8000)")
      ->check(CLI::Range(io::kMinRate, io::kMaxRate));
  sub.add_option("--channel", args.channel, "Keep only channel N (1-based) of a multi-channel input")
      ->check(CLI::Range(1, io::kMaxChannels));
  AddSrtpKeyOption(sub, args.srtpKeys);
  sub.add_option("-j,--jobs", args.jobs,
                 "Inputs, and the channels or RTP streams of a file, run side by side (default: one per "
                 "core); the output is the same for any N, in input order")
      ->check(CLI::Range(1u, 1024u));
  CLI::Option* json = sub.add_flag("--json", args.json, "Print a JSON array, one object per stream: " + eventsHelp);
  sub.add_flag("--jsonl", args.jsonl,
               "Print JSON Lines: one object per event as it is found, then one per stream "
               "with \"done\": true and its totals")
      ->excludes(json);
  CLI::Option* label = sub.add_option("--label", args.label,
                 "Call standard input (the input -) NAME in every text line, JSON \"file\", JSON Lines record "
                 "and error line; the channels of a multi-channel input are NAME#N. Needs - among the INPUT "
                 "arguments")
      ->type_name("NAME");
  CLI::Option* filesFrom =
      sub.add_option("--files-from", args.filesFrom,
                     "Also read the inputs listed in FILE (- for standard input), one path a line, after the "
                     "INPUT arguments: spaces belong to the path, empty lines are skipped, - may not be listed. "
                     "INPUT may then be left out. A listed input that cannot be read gives its error and exit 1 "
                     "while the others are still done; a list that cannot be read stops the command (exit 1)")
          ->type_name("FILE");
  sub.add_flag("-0,--null", args.nulSeparated,
               "The paths of --files-from end with a NUL byte instead of a newline (as find -print0 "
               "writes them), so they may hold newlines")
      ->needs(filesFrom);
  CLI::Option* input = sub.add_option(
      "INPUT", args.inputs,
      "Recordings: a WAV, RF64, AIFF, AU, CAF, FLAC or Ogg file, a pcap or pcapng capture "
      "(its RTP streams), or headerless samples (see --input-format); - reads standard input "
      "(headerless, WAV or AU). Required unless --files-from or --device is given");
  CLI::Option* device =
      sub.add_option("--device", args.device,
                     "Capture live from a sound device instead of INPUT, at its own rate and channels, until "
                     "Ctrl-C or SIGTERM (the totals are still printed): a PulseAudio source (also pulse:NAME; "
                     "no NAME: the default source) or alsa:NAME; quorvane devices lists them. The stream is "
                     "named device:NAME")
          ->expected(0, 1)
          ->type_name("[NAME]");
  device->excludes(input)->excludes(inputFormat)->excludes(rate)->excludes(filesFrom)->excludes(label);
  // Checked once the command's arguments are all in, before it runs; INPUT
  // is required only without --files-from and --device, which CLI11 cannot
  // say itself: the error is the one it would give.
  sub.parse_complete_callback([given = &args, device] {
    DetectionArgs& args = *given;
    args.live = device->count() > 0;
    const bool stdinInput = std::find(args.inputs.begin(), args.inputs.end(), "-") != args.inputs.end();
    if (!args.live && args.inputs.empty() && args.filesFrom.empty()) throw CLI::RequiredError("INPUT");
    if (args.live && !io::ParseDeviceName(args.device)) {
      throw CLI::ValidationError("--device", "alsa: and pulse: need a device name after them");
    }
    if (!args.label.empty() && !stdinInput) {
      throw CLI::ValidationError("--label", "names standard input, but - is not among the inputs");
    }
    if (args.filesFrom == "-" && stdinInput) {
      throw CLI::ValidationError("--files-from", "- and an input - cannot both read standard input");
    }
  });
}

void DetectInput(const std::string& path, const io::InputOptions& options, const DetectionCommand& command,
                 unsigned streamJobs, InputReporter& reporter) {
  // After an interrupt, the inputs not yet begun are left alone.
  if (options.stop != nullptr && options.stop->load()) {
    reporter.InputDone();
    return;
  }
  const std::string& name = path == "-" ? options.stdinName : path;
  std::string error;
  bool read = false;
  // Standard input may be a live line: its reports are never held back.
  if (streamJobs > 1 && path != "-") {
    ParallelStreams streams(path, command, streamJobs, reporter);
    read = io::ReadInput(path, options, streams, &error);
    streams.Finish();
  } else {
    DetectionSinkFactory factory(name, command, reporter);
    read = io::ReadInput(path, options, factory, &error);
  }
  if (!read) reporter.InputFailed(name, error);
  reporter.InputDone();
}

int RunDetection(const DetectionArgs& args, DetectionCommand command) {
  std::vector<std::string> inputs = args.inputs;
  if (!args.filesFrom.empty()) {
    std::string error;
    if (!io::ReadPathList(args.filesFrom, args.nulSeparated ? '\0' : '\n', inputs, &error)) {
      PrintError(args.filesFrom == "-" ? "stdin" : args.filesFrom, error);
      return kExitFailure;
    }
    // The list's own entries are files: standard input is named on the command line.
    if (std::find(inputs.begin() + static_cast<std::ptrdiff_t>(args.inputs.size()), inputs.end(), "-") != inputs.end()) {
      PrintError(args.filesFrom == "-" ? "stdin" : args.filesFrom,
                 "lists files; standard input (-) is given as an INPUT argument");
      return kExitUsage;
    }
  }
  command.settings.profile = args.detector == "robust" ? DetectorProfile::Robust : DetectorProfile::Exact;
  const OutputForm form = args.json ? OutputForm::Json : args.jsonl ? OutputForm::JsonLines : OutputForm::Text;
  command.offset = args.offset % kUlawFrameBytes;
  command.keepEvents = form == OutputForm::Json;
  command.json = form != OutputForm::Text;
  command.countEventsWhenDone = command.countEventsWhenDone && form == OutputForm::JsonLines;
  io::InputOptions options;
  options.format = *io::ParseSampleFormat(args.inputFormat);
  options.rate = args.rate;
  options.channel = args.channel;
  options.srtpKeys = SrtpKeysOf(args.srtpKeys);
  if (!args.label.empty()) options.stdinName = args.label;
  // Ctrl-C and SIGTERM end the reading as at the inputs' end: every stream
  // begun still prints its totals so far.
  options.stop = &StopOnSignals();

  if (args.live) {
    ReportWriter writer(form, 1);
    DetectDevice(*io::ParseDeviceName(args.device), args.channel, command, writer);
    return writer.Finish() ? kExitOk : kExitFailure;
  }

  ReportWriter writer(form, inputs.size());
  const unsigned jobs = args.jobs != 0 ? args.jobs : std::max(1u, std::thread::hardware_concurrency());
  // Inputs side by side first; the jobs left over share out among each
  // input's streams.
  const auto inputJobs = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(jobs, inputs.size())));
  const unsigned streamJobs = jobs / inputJobs;
  // One input alone is never held back, so a live line on standard input
  // prints each result the moment it is found.
  if (inputJobs == 1) {
    for (const std::string& path : inputs) DetectInput(path, options, command, streamJobs, writer);
  } else {
    DetectInParallel(inputs, inputJobs, isatty(STDERR_FILENO) != 0,
                     [&](const std::string& path, InputReporter& reporter) {
                       DetectInput(path, options, command, streamJobs, reporter);
                     },
                     writer);
  }
  const bool allRead = writer.Finish();
  if (options.stop->load()) {
    PrintError("interrupted", "the totals above are those read so far");
    return kExitInterrupted;
  }
  return allRead ? kExitOk : kExitFailure;
}

}  // namespace quorvane::cli
