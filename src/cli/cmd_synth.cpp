// quorvane synth dtmf DIGITS -o PATH [...]
#include <memory>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "dtmf/dtmf_synth.h"

namespace quorvane::cli {
namespace {

struct SynthDtmfArgs {
  DtmfSynthOptions options;
  double snrDb = 0.0;
  std::string output;
};

int RunSynthDtmf(SynthDtmfArgs& args, bool withNoise) {
  if (withNoise) args.options.snrDb = args.snrDb;
  std::string error;
  if (!SynthesizeDtmf(args.options, args.output, error)) {
    PrintError(args.output, error);
    return kExitFailure;
  }
  return kExitOk;
}

CommandRunner AttachSynthDtmf(CLI::App& sub) {
  auto args = std::make_shared<SynthDtmfArgs>();
  DtmfSynthOptions& o = args->options;
  sub.description(
      "Write a mu-law .pcm recording of DTMF keys.\n"
      "Levels are in dBm0: 0 dBm0 is a sine of peak 22700 in 16-bit linear units,\n"
      "the level of the digital milliwatt.");
  sub.add_option("DIGITS", o.digits, "Keys from 0-9, A-D, * and #")->required();
  sub.add_option("-o,--output", args->output, "Output .pcm file")->required();
  sub.add_option("--tone-ms", o.toneMs, "Tone length per key in ms")->capture_default_str()->check(CLI::NonNegativeNumber);
  sub.add_option("--gap-ms", o.gapMs, "Silence after each key in ms")->capture_default_str()->check(CLI::NonNegativeNumber);
  sub.add_option("--lead-ms", o.leadMs, "Silence before the first key in ms")->capture_default_str()->check(CLI::NonNegativeNumber);
  sub.add_option("--level", o.levelDbm0, "Level of each tone in dBm0 (the row tone; see --twist)")->capture_default_str();
  sub.add_option("--twist", o.twistDb, "Column tone level minus row tone level, in dB")->capture_default_str();
  sub.add_option("--freq-offset", o.freqOffsetPercent, "Shift both tones by this many percent")->capture_default_str();
  CLI::Option* snr = sub.add_option("--snr", args->snrDb, "Add white noise at this signal-to-noise ratio in dB");
  sub.add_option("--seed", o.seed, "Seed of the noise")->capture_default_str();
  return [args, snr] { return RunSynthDtmf(*args, snr->count() > 0); };
}

}  // namespace

CommandRunner AttachSynth(CLI::App& sub) {
  sub.require_subcommand(1);
  CLI::App* dtmf = sub.add_subcommand("dtmf", "Write a recording of DTMF keys");
  dtmf->set_version_flag("--version", kVersionText);
  CommandRunner runDtmf = AttachSynthDtmf(*dtmf);
  return [dtmf, runDtmf]() -> int {
    if (dtmf->parsed()) return runDtmf();
    return kExitUsage;
  };
}

}  // namespace quorvane::cli
