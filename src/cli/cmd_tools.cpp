// quorvane generate --bytes LIST [--repeat N] -o PATH
// quorvane dehum FILE [-o PATH]
#include <memory>
#include <string>

#include "cli/cli_support.h"
#include "codec/pcm_raw_file.h"
#include "cli/commands.h"
#include "platform/drive_d.h"
#include "tools/hum_remover.h"
#include "tools/pcm_generator.h"

namespace quorvane::cli {
namespace {

constexpr char kOpenFailed[] = "打开文件失败!";
constexpr char kWriteFailed[] = "写入文件失败!";

// One line on stderr for a failed tool; the exit status.
int Report(const ToolResult& result, const std::string& input, const std::string& output) {
  switch (result.status) {
    case ToolStatus::Done:
      return kExitOk;
    case ToolStatus::NothingToDo:
    case ToolStatus::BadRepeatCount:
      PrintError(output, result.reason.empty() ? "nothing to write" : result.reason);
      return kExitUsage;
    case ToolStatus::InputOpenFailed:
      PrintError(input, result.reason);
      return kExitFailure;
    case ToolStatus::ReadFailed:
      PrintError(input, "read failed: " + result.reason);
      return kExitFailure;
    case ToolStatus::OutputOpenFailed:
      PrintError(output, std::string(kOpenFailed) + " (" + result.reason + ")");
      return kExitFailure;
    case ToolStatus::WriteFailed:
      PrintError(output, std::string(kWriteFailed) + " (" + result.reason + ")");
      return kExitFailure;
  }
  return kExitFailure;
}

struct GenerateArgs {
  std::string bytes;
  std::uint32_t repeat = 2;
  std::string output;
};

struct DehumArgs {
  std::string input;
  std::string output;
};

}  // namespace

CommandRunner AttachGenerate(CLI::App& sub) {
  auto args = std::make_shared<GenerateArgs>();
  sub.description(
      "Write a mu-law .pcm file from a list of hex bytes, repeated. The list is split at\n"
      "commas, or at semicolons where no comma follows; each token is one byte, an\n"
      "optional 0x prefix then its first two characters as hex digits. Only the first\n"
      "255 bytes of the list count. The bytes are written as they are, LIST N times.\n"
      "The output is replaced only when everything was written.");
  sub.add_option("--bytes", args->bytes, "The byte list, e.g. 7f,0x80;ff")->required();
  sub.add_option("--repeat", args->repeat, "How many times the list is written (0..99999)")
      ->capture_default_str()->check(CLI::Range(0u, kMaxRepeatCount));
  sub.add_option("-o,--output", args->output, "Output file")->required();
  return [args]() -> int {
    if (args->bytes.empty()) {
      PrintError("generate", "the byte list is empty");
      return kExitUsage;
    }
    return Report(GeneratePcmFile(args->output, args->bytes, args->repeat), "", args->output);
  };
}

CommandRunner AttachDehum(CLI::App& sub) {
  auto args = std::make_shared<DehumArgs>();
  sub.description(
      "Copy a mu-law .pcm recording, replacing every 20 ms frame whose samples are all\n"
      "below 512 in magnitude with digital silence (0xFF). A final piece shorter than a\n"
      "frame is not copied. The default output is NoiseClear.pcm in the folder named by\n"
      "QUORVANE_DRIVE_D (the working folder when unset). The output is replaced only\n"
      "when everything was written; the input may be the output.");
  sub.add_option("FILE", args->input, "mu-law .pcm recording")->required();
  sub.add_option("-o,--output", args->output, "Output file");
  return [args]() -> int {
    // A recording without a whole frame would give an empty copy: refuse it
    // before the destination is touched.
    PcmRawFile input;
    UlawFrame frame;
    if (!input.Open(args->input) || !input.ReadFrame(frame)) {
      const std::string reason = !input.IsOpen() ? input.Error()
                                 : input.ReadFailed() ? "read failed: " + input.Error()
                                                      : "no whole 20 ms frame (160 bytes): nothing to copy";
      PrintError(args->input, reason);
      return kExitFailure;
    }
    input.Close();
    const std::string output =
        args->output.empty() ? platform::DriveDPath(kHumRemoverOutputName) : args->output;
    return Report(RemoveHum(args->input, output), args->input, output);
  };
}

}  // namespace quorvane::cli
