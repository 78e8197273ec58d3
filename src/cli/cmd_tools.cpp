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

// Opens `path` for a tool's output; one line on stderr when it cannot.
bool OpenOutput(AtomicOutputFile& output, const std::string& path) {
  std::string error;
  if (output.Open(path, &error)) return true;
  PrintError(path, std::string(kOpenFailed) + " (" + error + ")");
  return false;
}

// Reports a failed write; the exit status.
int WriteResult(bool written, const std::string& path, const std::string& error) {
  if (written) return kExitOk;
  PrintError(path, std::string(kWriteFailed) + " (" + error + ")");
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
    if (args->output.empty()) {
      PrintError(args->output, "nothing to write");
      return kExitUsage;
    }
    AtomicOutputFile output;
    if (!OpenOutput(output, args->output)) return kExitFailure;
    std::string error;
    return WriteResult(GeneratePcmFile(args->bytes, args->repeat, output, &error), args->output, error);
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
    std::string error;
    if (!input.Open(args->input, &error)) {
      PrintError(args->input, error);
      return kExitFailure;
    }
    if (!input.ReadFrame(frame)) {
      PrintError(args->input, input.ReadsSucceeded(&error) ? "no whole 20 ms frame (160 bytes): nothing to copy"
                                                           : "read failed: " + error);
      return kExitFailure;
    }
    // From the start again: the input may be the output, which is replaced
    // only at the end.
    if (!input.Open(args->input, &error)) {
      PrintError(args->input, error);
      return kExitFailure;
    }
    const std::string path = args->output.empty() ? platform::DriveDPath(kHumRemoverOutputName) : args->output;
    AtomicOutputFile output;
    if (!OpenOutput(output, path)) return kExitFailure;
    if (RemoveHum(input, output, &error)) return kExitOk;
    if (!input.ReadsSucceeded(nullptr)) {
      PrintError(args->input, "read failed: " + error);
      return kExitFailure;
    }
    return WriteResult(false, path, error);
  };
}

}  // namespace quorvane::cli
