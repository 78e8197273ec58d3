#include "cli/detection_command.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/device_detection.h"
#include "cli/parallel_inputs.h"
#include "cli/parallel_streams.h"
#include "codec/ulaw.h"
#include "io/device/device_name.h"
#include "io/input_reader.h"

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
  sub.add_option("-j,--jobs", args.jobs,
                 "Inputs, and the channels or RTP streams of a file, run side by side (default: one per "
                 "core); the output is the same for any N, in input order")
      ->check(CLI::Range(1u, 1024u));
  CLI::Option* json = sub.add_flag("--json", args.json, "Print a JSON array, one object per stream: " + eventsHelp);
  sub.add_flag("--jsonl", args.jsonl,
               "Print JSON Lines: one object per event as it is found, then one per stream "
               "with \"done\": true and its totals")
      ->excludes(json);
  CLI::Option* input = sub.add_option(
      "INPUT", args.inputs,
      "Recordings: a WAV, RF64, AIFF, AU, CAF, FLAC or Ogg file, a pcap or pcapng capture "
      "(its RTP streams), or headerless samples (see --input-format); - reads standard input "
      "(headerless, WAV or AU). Required unless --device is given");
  CLI::Option* device =
      sub.add_option("--device", args.device,
                     "Capture live from a sound device instead of INPUT, at its own rate and channels, until "
                     "Ctrl-C or SIGTERM (the totals are still printed): a PulseAudio source (also pulse:NAME; "
                     "no NAME: the default source) or alsa:NAME; quorvane devices lists them. The stream is "
                     "named device:NAME")
          ->expected(0, 1)
          ->type_name("[NAME]");
  device->excludes(input)->excludes(inputFormat)->excludes(rate);
  // INPUT is required only without --device, which CLI11 cannot say itself;
  // the error is the one it would give.
  sub.callback([&args, device] {
    args.live = device->count() > 0;
    if (!args.live && args.inputs.empty()) throw CLI::RequiredError("INPUT");
    if (args.live && !io::ParseDeviceName(args.device)) {
      throw CLI::ValidationError("--device", "alsa: and pulse: need a device name after them");
    }
  });
}

void DetectInput(const std::string& path, const io::InputOptions& options, const DetectionCommand& command,
                 unsigned streamJobs, InputReporter& reporter) {
  std::string error;
  bool read = false;
  // Standard input may be a live line: its reports are never held back.
  if (streamJobs > 1 && path != "-") {
    ParallelStreams streams(path, command, streamJobs, reporter);
    read = io::ReadInput(path, options, streams, &error);
    streams.Finish();
  } else {
    DetectionSinkFactory factory(path, command, reporter);
    read = io::ReadInput(path, options, factory, &error);
  }
  if (!read) reporter.InputFailed(path, error);
  reporter.InputDone();
}

int RunDetection(const DetectionArgs& args, DetectionCommand command) {
  command.settings.profile = args.detector == "robust" ? DetectorProfile::Robust : DetectorProfile::Exact;
  const OutputForm form = args.json ? OutputForm::Json : args.jsonl ? OutputForm::JsonLines : OutputForm::Text;
  command.offset = args.offset % kUlawFrameBytes;
  command.keepEvents = form == OutputForm::Json;
  command.countEventsWhenDone = command.countEventsWhenDone && form == OutputForm::JsonLines;
  io::InputOptions options;
  options.format = *io::ParseSampleFormat(args.inputFormat);
  options.rate = args.rate;
  options.channel = args.channel;

  if (args.live) {
    ReportWriter writer(form, 1);
    DetectDevice(*io::ParseDeviceName(args.device), args.channel, command, writer);
    return writer.Finish() ? kExitOk : kExitFailure;
  }

  ReportWriter writer(form, args.inputs.size());
  const unsigned jobs = args.jobs != 0 ? args.jobs : std::max(1u, std::thread::hardware_concurrency());
  // Inputs side by side first; the jobs left over share out among each
  // input's streams.
  const auto inputJobs = static_cast<unsigned>(std::min<std::size_t>(jobs, args.inputs.size()));
  const unsigned streamJobs = jobs / inputJobs;
  // One input alone is never held back, so a live line on standard input
  // prints each result the moment it is found.
  if (inputJobs == 1) {
    for (const std::string& path : args.inputs) DetectInput(path, options, command, streamJobs, writer);
  } else {
    DetectInParallel(args.inputs, inputJobs, isatty(STDERR_FILENO) != 0,
                     [&](const std::string& path, InputReporter& reporter) {
                       DetectInput(path, options, command, streamJobs, reporter);
                     },
                     writer);
  }
  return writer.Finish() ? kExitOk : kExitFailure;
}

}  // namespace quorvane::cli
