// End-to-end: quorvane generate and quorvane dehum.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ReadBytes;
using testing::RunQuorvane;
using testing::TempDir;
using testing::WriteBytes;

TEST(CliGenerate, WritesTheBytes) {
  TempDir dir;
  const std::string out = dir.File("gen erated ü.pcm");
  const auto r = RunQuorvane({"generate", "--bytes", "7f,0x80;ff", "-o", out});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadBytes(out), (Bytes{0x7F, 0x80, 0xFF, 0x7F, 0x80, 0xFF}));
  EXPECT_EQ(RunQuorvane({"generate", "--bytes", "1", "--repeat", "5", "-o", out}).exitCode, 0);
  EXPECT_EQ(ReadBytes(out), Bytes(5, 0x01));
}

TEST(CliGenerate, OpenFailureAndUsageErrors) {
  TempDir dir;
  const auto missing = RunQuorvane({"generate", "--bytes", "7f", "-o", dir.File("nope/x.pcm")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("打开文件失败!"), std::string::npos);
  EXPECT_NE(missing.err.find("No such file"), std::string::npos);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"generate", "--bytes", "7f", "--repeat", "100000", "-o", dir.File("x")},
           {"generate", "--bytes", "7f", "--repeat", "-1", "-o", dir.File("x")},
           {"generate", "--bytes", "", "-o", dir.File("x")},
           {"generate", "-o", dir.File("x")},
           {"generate", "--bytes", "7f"}}) {
    EXPECT_EQ(RunQuorvane(args).exitCode, 2) << ::testing::PrintToString(args);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
}

TEST(CliGenerate, ReadOnlyOutputIsRefusedAndKept) {
  TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const std::string out = dir.File("ro.pcm");
  WriteBytes(out, {5, 5});
  chmod(out.c_str(), 0444);
  const auto r = testing::RunQuorvaneUnprivileged({"generate", "--bytes", "7f", "-o", out});
  if (r.exitCode == testing::kCannotRunUnprivileged) GTEST_SKIP() << "the user nobody cannot run the binary here";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("打开文件失败!"), std::string::npos);
  EXPECT_EQ(ReadBytes(out), (Bytes{5, 5}));
}

TEST(CliDehum, DefaultOutputInTheDriveDFolder) {
  TempDir dir;
  WriteBytes(dir.File("in.pcm"), Bytes(330, 0xE0));
  const auto r = testing::RunProcess({QUORVANE_BINARY, "dehum", dir.File("in.pcm")}, "",
                                     {"QUORVANE_DRIVE_D=" + dir.path().string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.File("NoiseClear.pcm")), Bytes(320, 0xFF));
  // Without the variable: the working folder.
  TempDir work;
  EXPECT_EQ(RunQuorvane({"dehum", dir.File("in.pcm")}, work.path().string()).exitCode, 0);
  EXPECT_EQ(ReadBytes(work.File("NoiseClear.pcm")).size(), 320u);
}

TEST(CliDehum, MissingInputTouchesNothing) {
  TempDir dir;
  WriteBytes(dir.File("out.pcm"), {1, 2, 3});
  const auto r = RunQuorvane({"dehum", dir.File("missing.pcm"), "-o", dir.File("out.pcm")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("missing.pcm"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir.File("out.pcm")), (Bytes{1, 2, 3}));
  EXPECT_EQ(RunQuorvane({"dehum", dir.path().string(), "-o", dir.File("out.pcm")}).exitCode, 1);
  EXPECT_EQ(ReadBytes(dir.File("out.pcm")), (Bytes{1, 2, 3}));
  EXPECT_EQ(RunQuorvane({"dehum"}).exitCode, 2);
}

TEST(CliDehum, ReadOnlyOutputIsRefusedAndKept) {
  TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  WriteBytes(dir.File("in.pcm"), Bytes(160, 0x10));
  chmod(dir.File("in.pcm").c_str(), 0644);
  WriteBytes(dir.File("ro.pcm"), {4});
  chmod(dir.File("ro.pcm").c_str(), 0444);
  const auto r = testing::RunQuorvaneUnprivileged({"dehum", dir.File("in.pcm"), "-o", dir.File("ro.pcm")});
  if (r.exitCode == testing::kCannotRunUnprivileged) GTEST_SKIP() << "the user nobody cannot run the binary here";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(ReadBytes(dir.File("ro.pcm")), (Bytes{4}));
}

}  // namespace
}  // namespace quorvane
