// The README's "At archive scale" recipe with GNU parallel: shards of a
// directory tree in any order give the same JSON Lines as one run over all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "io/call_capture.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::RunProcess;
using testing::RunQuorvane;

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(CliArchive, GnuParallelShardsGiveTheLinesOfOneRun) {
  if (RunProcess({"/bin/sh", "-c", "command -v parallel"}).exitCode != 0) GTEST_SKIP() << "GNU parallel is not installed";
  testing::TempDir dir;
  std::vector<std::string> paths;
  const std::vector<std::string> keys = {"1", "23", "456#", "*0", "ABCD", "9", "78", "0#"};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const auto folder = dir.path() / ("day" + std::to_string(i % 3));
    std::filesystem::create_directories(folder);
    paths.push_back((folder / ("call" + std::to_string(i) + ".pcm")).string());
    ASSERT_EQ(RunQuorvane({"synth", "dtmf", keys[i], "-o", paths.back()}).exitCode, 0);
  }
  // The recipe, with this build's binary; two files a job, so jobs finish out of order.
  const std::string recipe = "find . -name '*.pcm' -print0 | parallel -0 -n 2 -j 4 '" + std::string(QUORVANE_BINARY) +
                             "' dtmf --jsonl {} > digits.jsonl";
  const auto r = RunProcess({"/bin/sh", "-c", recipe}, dir.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> relative;
  for (const auto& p : paths) relative.push_back("./" + std::filesystem::relative(p, dir.path()).string());
  std::vector<std::string> args = {"dtmf", "--jsonl"};
  args.insert(args.end(), relative.begin(), relative.end());
  const auto whole = RunQuorvane(args, dir.path().string());
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const auto shards = RunProcess({"/bin/cat", dir.File("digits.jsonl")});
  EXPECT_EQ(SortedLines(shards.out), SortedLines(whole.out));
  std::size_t digits = 0;
  for (const auto& k : keys) digits += k.size();
  EXPECT_EQ(SortedLines(whole.out).size(), digits + keys.size());  // a line per digit, a done line per file
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// `quorvane dtmf` over `inputs` at each -j, in every output form, prints
// byte for byte what -j 1 prints.
void ExpectSameOutputForAnyJobs(const std::vector<std::string>& inputs, int exitCode,
                                const std::vector<std::string>& jobs) {
  for (const std::vector<std::string>& form : {std::vector<std::string>{}, {"--json"}, {"--jsonl"}}) {
    auto command = [&](const std::string& n) {
      std::vector<std::string> args = {"dtmf", "-j", n};
      args.insert(args.end(), form.begin(), form.end());
      args.insert(args.end(), inputs.begin(), inputs.end());
      return RunQuorvane(args);
    };
    const auto one = command("1");
    EXPECT_EQ(one.exitCode, exitCode) << one.err;
    for (const std::string& n : jobs) {
      const auto many = command(n);
      EXPECT_EQ(many.exitCode, one.exitCode);
      EXPECT_EQ(many.out, one.out) << "-j " << n;
      EXPECT_EQ(many.err, one.err) << "-j " << n;
    }
  }
}

TEST(CliArchive, ParallelInputsPrintWhatOneAfterAnotherPrints) {
  testing::TempDir dir;
  std::vector<std::string> inputs;
  const std::vector<std::string> keys = {"1", "23", "456#", "*0", "ABCD", "9"};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    inputs.push_back((dir.path() / ("call" + std::to_string(i) + ".pcm")).string());
    ASSERT_EQ(RunQuorvane({"synth", "dtmf", keys[i], "--tone-ms", "60", "-o", inputs.back()}).exitCode, 0);
    if (i == 2) inputs.push_back((dir.path() / "missing.pcm").string());
  }
  inputs.push_back(dir.path().string());  // a folder: read fails
  ExpectSameOutputForAnyJobs(inputs, 1, {"3"});
}

// The channels of a file and the RTP streams of a capture run side by side
// when there are jobs to spare.
TEST(CliArchive, ParallelStreamsPrintWhatOneAfterAnotherPrints) {
  if (!std::filesystem::exists("/usr/bin/sox")) GTEST_SKIP() << "sox is not installed";
  testing::TempDir dir;
  std::string merge = "/usr/bin/sox -M";
  const std::vector<std::string> keys = {"159#", "2580", "*7A", "3D", "0"};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string pcm = dir.File("channel" + std::to_string(i) + ".pcm");
    ASSERT_EQ(RunQuorvane({"synth", "dtmf", keys[i], "--tone-ms", std::to_string(50 + 10 * i), "-o", pcm}).exitCode, 0);
    merge += " -t ul -r 8000 -c 1 " + pcm;
  }
  const std::string wav = dir.File("channels.wav");
  ASSERT_EQ(RunProcess({"/bin/sh", "-c", merge + " -e signed -b 16 -r 16000 " + wav}).exitCode, 0);
  const std::string capture = dir.File("call.pcap");
  testing::WriteBytes(capture, testing::BuildCall(testing::CaptureFormat::Pcap, 1).bytes);
  ExpectSameOutputForAnyJobs({wav}, 0, {"2", "5"});
  ExpectSameOutputForAnyJobs({capture}, 0, {"2"});
  ExpectSameOutputForAnyJobs({capture, wav}, 0, {"4"});
}

}  // namespace
}  // namespace quorvane
