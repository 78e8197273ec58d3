// What `dtmf` and `callerid` share: the input options, and the run of a
// detection over every input with its output in the chosen form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "report/report_writer.h"
#include "report/detection_sink.h"
#include "io/input_options.h"

namespace quorvane::cli {

struct DetectionArgs {
  std::int64_t offset = 0;
  std::string detector = "exact";
  std::string inputFormat = "ulaw";
  int rate = 8000;
  int channel = 0;
  bool json = false;
  bool jsonl = false;
  unsigned jobs = 0;  // 0: one per core
  std::string label;      // what standard input is called; "" keeps "-"
  std::string filesFrom;  // a list of more inputs; "" for none
  bool nulSeparated = false;
  std::vector<std::string> inputs;
  bool live = false;   // --device given, with or without a name
  std::string device;  // its name; empty: the default source
  std::vector<std::string> srtpKeys;  // --srtp-key, as given
};

// --offset, --detector, --input-format, --rate, --channel, -j, --json,
// --jsonl, --label, --files-from, -0, --device and INPUT...; `eventsHelp`
// says what --json lists for each stream. Usage errors among them end the
// parse.
void AddDetectionOptions(CLI::App& sub, DetectionArgs& args, const std::string& eventsHelp);

// The end of the descriptions of dtmf and callerid: live devices and the
// exit status.
inline constexpr char kDetectionHelpTail[] =
    "--device captures live from a sound device instead (quorvane devices lists\n"
    "them); results print as they are found with --jsonl, and Ctrl-C ends it.\n"
    "Exit status: 0 all inputs read, 1 an input or the device could not be read\n"
    "(other inputs are still done), 2 usage error, 130 interrupted: Ctrl-C or SIGTERM\n"
    "while reading inputs ends them as at their end, and the streams begun print\n"
    "their totals so far.";

// Runs one input through `command`, reporting to `reporter` as it goes;
// with `streamJobs` above 1 its streams run side by side on that many threads.
void DetectInput(const std::string& path, const io::InputOptions& options, const DetectionCommand& command,
                 unsigned streamJobs, InputReporter& reporter);

// The command: `command` names the detector kind; the profile comes from
// --detector. Returns the exit status.
int RunDetection(const DetectionArgs& args, DetectionCommand command);

}  // namespace quorvane::cli
