// quorvane: the command-line front end. Each subcommand is one row of the
// table below; main only parses and dispatches.
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/docs_writer.h"
#include "codec/temporary_files.h"

namespace {

using quorvane::cli::CliCommand;

const CliCommand kCommands[] = {
    {"dtmf", "Find the DTMF digits in recordings (files, standard input or a sound device)", quorvane::cli::AttachDtmf},
    {"callerid", "Decode the FSK caller-ID messages in recordings (files, standard input or a sound device)",
     quorvane::cli::AttachCallerId},
    {"calls", "Follow the calls of packet captures: SIP dialogs, their RTP and the DTMF keys of all three paths",
     quorvane::cli::AttachCalls},
    {"synth", "Synthesise mu-law test recordings (DTMF keys, caller ID)", quorvane::cli::AttachSynth},
    {"generate", "Write a mu-law .pcm file from a list of hex bytes, repeated", quorvane::cli::AttachGenerate},
    {"dehum", "Silence the quiet 20 ms frames of a mu-law .pcm recording", quorvane::cli::AttachDehum},
    {"authtest", "Print the digest response of the built-in SIP REGISTER test vector", quorvane::cli::AttachAuthTest},
    {"digest", "Compute or check an HTTP/SIP digest response (MD5, SHA-256, SHA-512-256)", quorvane::cli::AttachDigest},
    {"drvscript", "Run the driver initialisation script and log it", quorvane::cli::AttachDrvScript},
    {"plot", "Draw the waveform, spectrogram and detector panels of a recording (PNG, SVG)", quorvane::cli::AttachPlot},
    {"devices", "List the sound devices to capture from (PulseAudio sources, ALSA PCMs)", quorvane::cli::AttachDevices},
};

// An interrupted command that was writing a file removes its temporary
// file, then ends as the signal would have ended it: the destination keeps
// its earlier content.
void EndOnSignal(int signal) {
  quorvane::RemoveTemporaryFiles();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, EndOnSignal);

  CLI::App app{
      "quorvane: a test bench for telephony signal processing. It finds DTMF digits and decodes\n"
      "FSK caller ID in line recordings: headerless mu-law or other raw samples, WAV and other\n"
      "containers at any rate and channel count, RTP streams in packet captures, standard input,\n"
      "or live from a sound device (PulseAudio or ALSA).\n"
      "It also draws what the detectors saw, builds test recordings and computes digests.",
      "quorvane"};
  app.set_version_flag("--version", quorvane::cli::kVersionText);
  app.require_subcommand(1);
  app.fallthrough(false);

  std::vector<std::pair<CLI::App*, quorvane::cli::CommandRunner>> runners;
  for (const CliCommand& command : kCommands) {
    CLI::App* sub = app.add_subcommand(command.name, command.summary);
    sub->set_version_flag("--version", quorvane::cli::kVersionText);
    runners.emplace_back(sub, command.attach(*sub));
  }

  // The build writes the manual pages and completions from these very
  // definitions; not an option for users, so not in --help.
  if (argc == 3 && std::strcmp(argv[1], "--write-docs") == 0) {
    std::string error;
    if (quorvane::cli::WriteCliDocs(app, argv[2], &error)) return quorvane::cli::kExitOk;
    quorvane::PrintError("--write-docs", error);
    return quorvane::cli::kExitFailure;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? quorvane::cli::kExitOk : quorvane::cli::kExitUsage;
  }
  int status = quorvane::cli::kExitUsage;
  for (auto& [sub, run] : runners) {
    if (sub->parsed()) {
      status = run();
      break;
    }
  }
  // Output that never arrived (a full disk, a closed pipe) is a failure.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    quorvane::PrintError("stdout", std::strerror(errno ? errno : EIO));
    return quorvane::cli::kExitFailure;
  }
  return status;
}
