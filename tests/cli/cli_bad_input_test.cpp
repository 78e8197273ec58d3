// The bad-input table of the README, row by row, through the real binary:
// every failure is one line on stderr and a non-zero exit status, and no
// destination is ever left half-written.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ProcessResult;
using testing::ReadBytes;
using testing::RunQuorvane;
using testing::TempDir;
using testing::WriteBytes;

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

void ExpectOneErrorLine(const ProcessResult& r, const std::string& reason) {
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
}

// Runs `args` with the input in place of "IN"; the output (if any) in `dir`.
std::vector<std::string> With(std::vector<std::string> args, const std::string& input) {
  for (auto& a : args) {
    if (a == "IN") a = input;
  }
  return args;
}

struct InputCommand {
  const char* name;
  std::vector<std::string> args;  // "IN" stands for the input path
};

class BadInput : public ::testing::TestWithParam<InputCommand> {
 protected:
  TempDir dir;
  std::vector<std::string> Args(const std::string& input) const {
    auto args = With(GetParam().args, input);
    for (auto& a : args) {
      if (a == "OUT") a = Out();
    }
    return args;
  }
  std::string Out() const { return dir.File("out.pcm"); }
};

TEST_P(BadInput, MissingFile) {
  WriteBytes(Out(), {7});
  ExpectOneErrorLine(RunQuorvane(Args(dir.File("missing.pcm"))), "No such file or directory");
  EXPECT_EQ(ReadBytes(Out()), Bytes{7});
}

TEST_P(BadInput, FolderGivenAsFile) {
  WriteBytes(Out(), {7});
  std::filesystem::create_directory(dir.File("folder"));
  ExpectOneErrorLine(RunQuorvane(Args(dir.File("folder"))), "Is a directory");
  EXPECT_EQ(ReadBytes(Out()), Bytes{7});
}

TEST_P(BadInput, EmptyFileAndShorterThanAFrame) {
  WriteBytes(Out(), {7});
  WriteBytes(dir.File("empty.pcm"), {});
  WriteBytes(dir.File("short.pcm"), Bytes(159, 0x10));
  ExpectOneErrorLine(RunQuorvane(Args(dir.File("empty.pcm"))), "no whole 20 ms frame");
  ExpectOneErrorLine(RunQuorvane(Args(dir.File("short.pcm"))), "no whole 20 ms frame");
  EXPECT_EQ(ReadBytes(Out()), Bytes{7});
}

TEST_P(BadInput, UnreadableFile) {
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  WriteBytes(dir.File("locked.pcm"), Bytes(1600, 0xFF));
  chmod(dir.File("locked.pcm").c_str(), 0);
  auto args = Args(dir.File("locked.pcm"));
  for (auto& a : args) {
    if (a == Out()) a = dir.File("nobody-out.pcm");
  }
  const ProcessResult r = testing::RunQuorvaneUnprivileged(args);
  if (r.exitCode == testing::kCannotRunUnprivileged) GTEST_SKIP() << "the user nobody cannot run the binary here";
  ExpectOneErrorLine(r, "Permission denied");
}

TEST_P(BadInput, RandomBytesAreJustAudio) {
  std::mt19937 random(7);
  Bytes noise(64000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random());
  WriteBytes(dir.File("noise.pcm"), noise);
  const ProcessResult r = RunQuorvane(Args(dir.File("noise.pcm")));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

TEST_P(BadInput, PathWithSpacesAndNonAscii) {
  const std::string path = dir.File("line 7 — 来电 ü.pcm");
  std::filesystem::copy_file(std::string(QUORVANE_SAMPLES) + "/callerid-mdmf.pcm", path);
  const ProcessResult r = RunQuorvane(Args(path));
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Cli, BadInput,
                         ::testing::Values(InputCommand{"dtmf", {"dtmf", "IN"}},
                                           InputCommand{"dtmfJson", {"dtmf", "--json", "IN"}},
                                           InputCommand{"callerid", {"callerid", "IN"}},
                                           InputCommand{"dehum", {"dehum", "IN", "-o", "OUT"}}),
                         [](const ::testing::TestParamInfo<InputCommand>& info) { return std::string(info.param.name); });

struct OutputCommand {
  const char* name;
  std::vector<std::string> args;  // "OUT" stands for the destination
};

class BadOutput : public ::testing::TestWithParam<OutputCommand> {
 protected:
  TempDir dir;
  std::vector<std::string> Args(const std::string& out) const {
    auto args = GetParam().args;
    for (auto& a : args) {
      if (a == "OUT") a = out;
      if (a == "SAMPLE") a = std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm";
      if (a == "SCRIPT") a = dir.File("script.txt");
    }
    return args;
  }
  void SetUp() override { WriteBytes(dir.File("script.txt"), {'1', ',', '2', '\n'}); }
};

TEST_P(BadOutput, FolderDoesNotExist) {
  ExpectOneErrorLine(RunQuorvane(Args(dir.File("no/such/folder/out"))), "No such file or directory");
}

TEST_P(BadOutput, ReadOnlyDestinationIsKept) {
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  chmod(dir.File("script.txt").c_str(), 0644);
  WriteBytes(dir.File("ro"), {3, 3});
  chmod(dir.File("ro").c_str(), 0444);
  const ProcessResult r = testing::RunQuorvaneUnprivileged(Args(dir.File("ro")));
  if (r.exitCode == testing::kCannotRunUnprivileged) GTEST_SKIP() << "the user nobody cannot run the binary here";
  ExpectOneErrorLine(r, "Permission denied");
  EXPECT_EQ(ReadBytes(dir.File("ro")), (Bytes{3, 3}));
}

TEST_P(BadOutput, FullDisk) {
  ExpectOneErrorLine(RunQuorvane(Args("/dev/full")), "No space left on device");
}

TEST_P(BadOutput, FolderGivenAsDestination) {
  std::filesystem::create_directory(dir.File("sub"));
  const ProcessResult r = RunQuorvane(Args(dir.File("sub")));
  ExpectOneErrorLine(r, "Is a directory");
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, BadOutput,
    ::testing::Values(OutputCommand{"generate", {"generate", "--bytes", "7f,80", "-o", "OUT"}},
                      OutputCommand{"dehum", {"dehum", "SAMPLE", "-o", "OUT"}},
                      OutputCommand{"synthDtmf", {"synth", "dtmf", "123", "-o", "OUT"}},
                      OutputCommand{"synthCallerId", {"synth", "callerid", "--number", "1", "-o", "OUT"}},
                      OutputCommand{"drvscriptLog", {"drvscript", "--script", "SCRIPT", "--log", "OUT"}}),
    [](const ::testing::TestParamInfo<OutputCommand>& info) { return std::string(info.param.name); });

TEST(CliStdout, LostOutputIsAFailure) {
  const std::string sample = std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm";
  for (const std::string& command : {"dtmf " + sample, std::string("authtest")}) {
    const ProcessResult r =
        testing::RunProcess({"/bin/sh", "-c", std::string("exec \"") + QUORVANE_BINARY + "\" " + command + " > /dev/full"});
    ExpectOneErrorLine(r, "stdout");
  }
}

TEST(CliDrvScriptInput, EmptyScriptIsAnEmptyRunAndRandomBytesAreLogged) {
  TempDir dir;
  WriteBytes(dir.File("empty.txt"), {});
  const ProcessResult empty = RunQuorvane({"drvscript", "--script", dir.File("empty.txt"), "--log", dir.File("l")});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "");
  std::mt19937 random(3);
  Bytes noise(5000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random());
  WriteBytes(dir.File("noise.txt"), noise);
  const ProcessResult r = RunQuorvane({"drvscript", "--script", dir.File("noise.txt"), "--log", dir.File("l")});
  EXPECT_EQ(r.exitCode, 0);
  const Bytes log = ReadBytes(dir.File("l"));
  EXPECT_EQ(std::string(log.begin(), log.end()), r.out);
}

}  // namespace
}  // namespace quorvane
