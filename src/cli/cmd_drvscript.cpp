// quorvane drvscript [--script PATH] [--log PATH]
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "platform/debug_output.h"
#include "platform/drive_d.h"
#include "script/driver_script.h"

namespace quorvane::cli {
namespace {

struct DrvScriptArgs {
  std::string script;
  std::string log;
};

int RunDrvScript(const DrvScriptArgs& args) {
  const std::string script = args.script.empty() ? platform::DriveDPath(kDriverScriptName) : args.script;
  const std::string log = args.log.empty() ? platform::DriveDPath(kDriverLogName) : args.log;
  platform::SetDebugOutputSink(DebugTextToStdout, nullptr);
  const DriverScriptRun run = RunDriverScript(script, log);
  platform::SetDebugOutputSink(nullptr, nullptr);
  int status = kExitOk;
  if (!run.logOpened) {
    PrintError(log, "the log could not be created (" + run.logError + "); lines went to stdout only");
    status = kExitFailure;
  } else if (run.logWriteFailed) {
    PrintError(log, "the log could not be completely written (" + run.logError + ")");
    status = kExitFailure;
  }
  if (!run.scriptOpened) {
    PrintError(script, run.scriptError);
    status = kExitFailure;
  } else if (run.scriptReadFailed) {
    PrintError(script, "read failed: " + run.scriptError);
    status = kExitFailure;
  }
  return status;
}

}  // namespace

CommandRunner AttachDrvScript(CLI::App& sub) {
  auto args = std::make_shared<DrvScriptArgs>();
  sub.description(
      "Run the driver initialisation script: each line is REGISTER,VALUE (hex, optional\n"
      "0x) or wait|delay|sleep,MS (decimal). Nothing is written to a device and no pause\n"
      "is made; the log of what the script names goes to the log file (created afresh)\n"
      "and to stdout. Defaults: NET_7Q408.txt and DrvInitLog.txt in the folder named by\n"
      "QUORVANE_DRIVE_D (the working folder when unset).\n"
      "Exit status: 0 done, 1 the script could not be read or the log not written, 2 usage.");
  sub.add_option("--script", args->script, "Script file");
  sub.add_option("--log", args->log, "Log file");
  return [args] { return RunDrvScript(*args); };
}

}  // namespace quorvane::cli
