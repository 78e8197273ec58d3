// The subcommands of `quorvane`: each one defines its options on its own
// CLI11 subcommand and hands back the function that runs it.
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

namespace quorvane::cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// Detection ended early by Ctrl-C or SIGTERM (as a shell counts SIGINT).
inline constexpr int kExitInterrupted = 130;

using CommandRunner = std::function<int()>;

struct CliCommand {
  const char* name;
  const char* summary;
  CommandRunner (*attach)(CLI::App& sub);
};

CommandRunner AttachDtmf(CLI::App& sub);
CommandRunner AttachCallerId(CLI::App& sub);
CommandRunner AttachCalls(CLI::App& sub);
CommandRunner AttachSynth(CLI::App& sub);
CommandRunner AttachGenerate(CLI::App& sub);
CommandRunner AttachDehum(CLI::App& sub);
CommandRunner AttachAuthTest(CLI::App& sub);
CommandRunner AttachDigest(CLI::App& sub);
CommandRunner AttachDrvScript(CLI::App& sub);
CommandRunner AttachPlot(CLI::App& sub);
CommandRunner AttachDevices(CLI::App& sub);

}  // namespace quorvane::cli
