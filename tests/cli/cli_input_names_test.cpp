// Naming what comes in: --files-from lists of paths (with spaces, newlines,
// missing files) give what the same paths as arguments give, and --label
// names standard input in every output form.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/ulaw.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::RunQuorvane;
using testing::TempDir;

// quorvane `args` with standard input read from `file`.
ProcessResult RunWithStdin(const std::string& file, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$@\" < \"$QUORVANE_STDIN\"", "sh", QUORVANE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, "", {"QUORVANE_STDIN=" + file});
}

std::string Synth(const TempDir& dir, const std::string& name, const std::string& keys) {
  const std::string path = dir.File(name);
  const ProcessResult r = RunQuorvane({"synth", "dtmf", keys, "-o", path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A 16-bit WAV at 8 kHz whose channel N holds the mu-law recording N;
// `channels` 0 writes a header that names no channels at all.
void WriteWav(const std::string& path, const std::vector<std::string>& recordings, std::uint16_t channels) {
  std::vector<std::vector<std::uint8_t>> sources;
  std::size_t frames = 0;
  for (const std::string& r : recordings) {
    sources.push_back(testing::ReadBytes(r));
    frames = std::max(frames, sources.back().size());
  }
  std::vector<std::uint8_t> out;
  auto put = [&out](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto tag = [&out](const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(t[i]));
  };
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * sources.size() * 2);
  tag("RIFF");
  put(36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(channels, 2);
  put(8000, 4);
  put(8000u * channels * 2, 4);
  put(channels * 2u, 2);
  put(16, 2);
  tag("data");
  put(dataBytes, 4);
  for (std::size_t i = 0; i < frames; ++i) {
    for (const auto& s : sources) put(static_cast<std::uint16_t>(UlawToLinear(i < s.size() ? s[i] : 0xFF)), 2);
  }
  testing::WriteBytes(path, out);
}

// ---- --files-from ----

struct ListCase {
  const char* name;
  std::vector<std::string> entries;  // file names in the folder ("" an empty entry)
  bool nul;                          // -0
  bool fromStdin;                    // --files-from -
  std::vector<std::string> before;   // INPUT arguments before the list's paths
  int exitCode;
};

class FilesFrom : public ::testing::TestWithParam<ListCase> {};

TEST_P(FilesFrom, GivesWhatTheSamePathsAsArgumentsGive) {
  const ListCase& c = GetParam();
  TempDir dir;
  Synth(dir, "with space.pcm", "12");
  Synth(dir, "new\nline.pcm", "3#");
  Synth(dir, "plain.pcm", "*0D");
  std::string list;
  std::vector<std::string> paths;
  for (const std::string& name : c.before) paths.push_back(dir.File(name));
  for (const std::string& entry : c.entries) {
    list += (entry.empty() ? "" : dir.File(entry)) + (c.nul ? '\0' : '\n');
    if (!entry.empty()) paths.push_back(dir.File(entry));
  }
  const std::string listFile = dir.File("list");
  testing::WriteBytes(listFile, std::vector<std::uint8_t>(list.begin(), list.end()));

  for (const std::vector<std::string>& form : {std::vector<std::string>{}, {"--jsonl", "-j", "1"}, {"--json"}}) {
    std::vector<std::string> args = {"dtmf"};
    args.insert(args.end(), form.begin(), form.end());
    std::vector<std::string> listed = args;
    if (c.nul) listed.push_back("-0");
    listed.insert(listed.end(), {"--files-from", c.fromStdin ? "-" : listFile});
    for (const std::string& name : c.before) listed.push_back(dir.File(name));
    args.insert(args.end(), paths.begin(), paths.end());

    const ProcessResult expected = RunQuorvane(args);
    const ProcessResult got = c.fromStdin ? RunWithStdin(listFile, listed) : RunQuorvane(listed);
    EXPECT_EQ(expected.exitCode, c.exitCode) << expected.err;
    EXPECT_EQ(got.exitCode, c.exitCode) << got.err;
    EXPECT_EQ(got.out, expected.out);
    EXPECT_EQ(got.err, expected.err);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FilesFrom,
    ::testing::Values(
        ListCase{"PathsWithSpacesAndEmptyLines", {"with space.pcm", "", "plain.pcm", ""}, false, false, {}, 0},
        ListCase{"NulSeparatedPathsWithNewlines", {"new\nline.pcm", "with space.pcm"}, true, false, {}, 0},
        ListCase{"MissingFilesFailWhileTheOthersAreDone",
                 {"plain.pcm", "missing.pcm", "with space.pcm", "missing too.pcm"}, false, false, {}, 1},
        ListCase{"AfterTheInputArguments", {"with space.pcm"}, false, false, {"plain.pcm"}, 0},
        ListCase{"FromStandardInput", {"new\nline.pcm", "", "missing.pcm", "plain.pcm"}, true, true, {}, 1}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST(CliFilesFrom, AnEmptyListRunsNothing) {
  const ProcessResult r = RunQuorvane({"dtmf", "--json", "--files-from", "/dev/null"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "[]\n");
}

// ---- usage ----

struct UsageCase {
  const char* name;
  std::vector<std::string> args;  // after the command; LIST is a list holding "-"
  const char* listing;            // what LIST holds
  int exitCode;
  const char* message;  // in stderr
};

class InputNamingUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(InputNamingUsage, IsRefusedBeforeAnyInputIsRead) {
  const UsageCase& c = GetParam();
  TempDir dir;
  const std::string recording = Synth(dir, "a.pcm", "5");
  const std::string list = dir.File("list");
  testing::WriteBytes(list, std::vector<std::uint8_t>(c.listing, c.listing + std::char_traits<char>::length(c.listing)));
  for (const char* command : {"dtmf", "callerid"}) {
    std::vector<std::string> args = {command};
    for (const std::string& a : c.args) args.push_back(a == "FILE" ? recording : a == "LIST" ? list : a);
    const ProcessResult r = RunWithStdin(recording, args);
    EXPECT_EQ(r.exitCode, c.exitCode) << command << ": " << r.err;
    EXPECT_EQ(r.out, "") << command;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << command << ": " << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, InputNamingUsage,
    ::testing::Values(UsageCase{"NoInputAndNoList", {}, "", 2, "INPUT is required"},
                      UsageCase{"LabelWithoutStandardInput", {"--label", "x", "FILE"}, "", 2, "--label"},
                      UsageCase{"LabelWithAListOnly", {"--label", "x", "--files-from", "LIST"}, "", 2, "--label"},
                      UsageCase{"ListAndInputBothOnStandardInput", {"--files-from", "-", "-"}, "", 2, "--files-from"},
                      UsageCase{"NulWithoutAList", {"-0", "FILE"}, "", 2, "--files-from"},
                      UsageCase{"StandardInputInAList", {"--files-from", "LIST"}, "x.pcm\n-\n", 2, "standard input"},
                      UsageCase{"AListThatCannotBeRead", {"--files-from", "no-list", "FILE"}, "", 1,
                                "no-list: No such file or directory"}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

// ---- --label ----

enum class Piped { Mono, Stereo, BrokenHeader };

struct LabelCase {
  const char* name;
  Piped input;
  std::vector<std::string> form;
  int exitCode;
  const char* mustHold;  // in stdout or stderr: where the label shows
};

class Label : public ::testing::TestWithParam<LabelCase> {};

// Standard input named NAME prints what the file prints with its path
// replaced by NAME: text, JSON, JSON Lines and the error line alike.
TEST_P(Label, NamesStandardInputAsThePathNamesTheFile) {
  const LabelCase& c = GetParam();
  TempDir dir;
  const std::string a = Synth(dir, "a.pcm", "159#");
  const std::string b = Synth(dir, "b.pcm", "2580");
  std::string file = a;
  if (c.input != Piped::Mono) {
    file = dir.File("call.wav");
    WriteWav(file, {a, b}, c.input == Piped::Stereo ? 2 : 0);
  }
  const std::string label = "desk 7/call A";
  std::vector<std::string> args = {"dtmf"};
  args.insert(args.end(), c.form.begin(), c.form.end());
  const ProcessResult fromFile = RunQuorvane([&] {
    auto v = args;
    v.push_back(file);
    return v;
  }());
  args.insert(args.end(), {"--label", label, "-"});
  const ProcessResult piped = RunWithStdin(file, args);
  EXPECT_EQ(fromFile.exitCode, c.exitCode) << fromFile.err;
  EXPECT_EQ(piped.exitCode, c.exitCode) << piped.err;
  EXPECT_EQ(piped.out, Replaced(fromFile.out, file, label));
  EXPECT_EQ(piped.err, Replaced(fromFile.err, file, label));
  EXPECT_NE((piped.out + piped.err).find(c.mustHold), std::string::npos) << piped.out << piped.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Label,
    ::testing::Values(
        LabelCase{"JsonLines", Piped::Mono, {"--jsonl"}, 0, "{\"file\":\"desk 7/call A\",\"digit\":\"1\""},
        LabelCase{"Json", Piped::Mono, {"--json"}, 0, "[{\"file\":\"desk 7/call A\""},
        LabelCase{"TextOfAStereoWav", Piped::Stereo, {}, 0, "desk 7/call A#1\t159#\ndesk 7/call A#2\t2580\n"},
        LabelCase{"JsonLinesOfAStereoWav", Piped::Stereo, {"--jsonl"}, 0,
                  "{\"file\":\"desk 7/call A\",\"channel\":2,\"done\":true"},
        LabelCase{"ErrorLine", Piped::BrokenHeader, {}, 1, "quorvane: desk 7/call A: "},
        LabelCase{"JsonLinesErrorRecord", Piped::BrokenHeader, {"--jsonl"}, 1,
                  "{\"file\":\"desk 7/call A\",\"error\":"}),
    [](const ::testing::TestParamInfo<LabelCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
