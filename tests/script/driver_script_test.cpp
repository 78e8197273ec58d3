#include "script/driver_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "script/debug_log.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::TempDir;

struct Stream {
  std::vector<std::string> texts;
  std::string All() const {
    std::string all;
    for (const auto& t : texts) all += t;
    return all;
  }
  static void Sink(void* self, const char* text) { static_cast<Stream*>(self)->texts.push_back(text); }
};

class CapturedStream {
 public:
  CapturedStream() { platform::SetDebugOutputSink(Stream::Sink, &stream); }
  ~CapturedStream() { platform::SetDebugOutputSink(nullptr, nullptr); }
  Stream stream;
};

std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Runs `script` and returns the log's bytes; the stream must carry the same.
std::string RunScript(const std::string& script, DriverScriptRun* run = nullptr) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes(script.begin(), script.end());
  testing::WriteBytes(dir.File("script.txt"), bytes);
  CapturedStream captured;
  const DriverScriptRun result = RunDriverScript(dir.File("script.txt"), dir.File("log.txt"));
  if (run) *run = result;
  const std::string log = AsText(testing::ReadBytes(dir.File("log.txt")));
  EXPECT_EQ(captured.stream.All(), log);
  return log;
}

struct LineCase {
  std::string script;
  std::string log;
};

class ScriptLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ScriptLines, LogBytesAreExact) { EXPECT_EQ(RunScript(GetParam().script), GetParam().log); }

const std::string kLong300(300, 'q');

INSTANTIATE_TEST_SUITE_P(
    DriverScript, ScriptLines,
    ::testing::Values(
        LineCase{"10,20\r\n", "0x10,0x20\r\n"}, LineCase{"0x1A,0x0203\n", "0x1a,0x203\r\n"},
        LineCase{"5,ff\n", "0x05,0xff\r\n"}, LineCase{"1FF,ABCDE\n", "0xff,0xbcde\r\n"},
        LineCase{"reg,zz\n", "0x0e,0x0\r\n"}, LineCase{"WAIT,100\n", "wait: 100\r\n"},
        LineCase{"sleep,0x10\n", "wait: 0\r\n"}, LineCase{"wait,-5\n", "wait: -5\r\n"},
        LineCase{"wait, 100 ms\n", "wait: 100\r\n"}, LineCase{"10,20 30\n", "0x10,0x20\r\n"},
        LineCase{"10,20,30\n", "0x10,0x2030\r\n"}, LineCase{"  delay  ,50\r\n", "wait: 50\r\n"},
        LineCase{"wait\t,100\n", "0x0a,0x100\r\n"}, LineCase{",10\r\n", "Error Cmd: ,10\r\n"},
        LineCase{"no comma\n", "Error Cmd: no comma\n"}, LineCase{"10,  \t \r\n", "Error Cmd: 10,  \t \r\n"},
        LineCase{"\r\n", "Error Cmd: \r\n"}, LineCase{"\n", "Error Cmd: \n"},
        LineCase{"10,20\nlast", "0x10,0x20\r\nError Cmd: last\r\n"},
        LineCase{"0X10,0x20\n", "0x10,0x20\r\n"},
        LineCase{kLong300 + "\r\n",
                 "Error Cmd: " + std::string(254, 'q') + "\r\n" + "Error Cmd: " + std::string(46, 'q') + "\r\n"},
        LineCase{"%x%n%s\r\n", "Error Cmd: %x%n%s\r\n"}, LineCase{"%s,%n\n", "0x00,0x0\r\n"},
        // Waits saturate at the 32-bit limits.
        LineCase{"wait,2147483648\n", "wait: 2147483647\r\n"},
        LineCase{"wait,-99999999999\n", "wait: -2147483648\r\n"},
        LineCase{"wait,2147483647\n", "wait: 2147483647\r\n"}, LineCase{"wait,-2147483648\n", "wait: -2147483648\r\n"},
        LineCase{"", ""}));

TEST(DriverScript, SmallHelpers) {
  EXPECT_EQ(ParseHexValue(""), 0);
  EXPECT_EQ(ParseHexValue("0X1f"), 0x1F);
  EXPECT_EQ(ParseHexValue("12345"), 0x2345);
  EXPECT_EQ(ParseHexValue("\xC3\xA9" "a"), 0x0A);
  char text[] = "  a b  ";
  TrimSpaces(text);
  EXPECT_STREQ(text, "a b");
  char spaces[] = "    ";
  TrimSpaces(spaces);
  EXPECT_STREQ(spaces, "");
  char tab[] = "\tx\t";
  TrimSpaces(tab);
  EXPECT_STREQ(tab, "\tx\t");
}

TEST(DriverScript, MissingScriptLeavesAnEmptyLog) {
  TempDir dir;
  testing::WriteBytes(dir.File("log.txt"), {'o', 'l', 'd'});
  CapturedStream captured;
  DriverScriptRun run = RunDriverScript(dir.File("missing.txt"), dir.File("log.txt"));
  EXPECT_EQ(run.result, -1);
  EXPECT_TRUE(std::filesystem::exists(dir.File("log.txt")));
  EXPECT_TRUE(testing::ReadBytes(dir.File("log.txt")).empty());
  EXPECT_EQ(DebugLogFile, nullptr);
  testing::WriteBytes(dir.File("missing.txt"), {'1', ',', '2'});
  run = RunDriverScript(dir.File("missing.txt"), dir.File("log.txt"));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(AsText(testing::ReadBytes(dir.File("log.txt"))), "0x01,0x2\r\n");
}

TEST(DriverScript, WithoutALogTheLinesStillGoToTheStream) {
  TempDir dir;
  testing::WriteBytes(dir.File("s.txt"), {'1', ',', '2', '\n'});
  CapturedStream captured;
  const DriverScriptRun run = RunDriverScript(dir.File("s.txt"), dir.File("no/folder/log.txt"));
  EXPECT_EQ(run.result, 0);
  EXPECT_FALSE(run.logOpened);
  EXPECT_EQ(captured.stream.All(), "0x01,0x2\r\n");
}

TEST(DriverScript, ALogThatCannotBeWrittenFailsTheRun) {
  TempDir dir;
  testing::WriteBytes(dir.File("s.txt"), {'1', ',', '2', '\n'});
  CapturedStream captured;
  const DriverScriptRun run = RunDriverScript(dir.File("s.txt"), "/dev/full");
  EXPECT_TRUE(run.logOpened);
  EXPECT_TRUE(run.logWriteFailed);
  EXPECT_EQ(run.result, -1);
  EXPECT_EQ(DebugLogFile, nullptr);
}

TEST(DebugLog, LineLengthLimitAndLineEnd) {
  struct Case {
    std::size_t length;
    std::string tail;
  };
  for (const Case& c : {Case{1597, "\r\n"}, Case{1598, "\r"}, Case{1599, ""}, Case{2000, ""}}) {
    CapturedStream captured;
    DebugLog("%s", std::string(c.length, 'z').c_str());
    ASSERT_EQ(captured.stream.texts.size(), 1u);
    const std::string& line = captured.stream.texts[0];
    EXPECT_EQ(line.size(), std::min<std::size_t>(c.length, 1599) + c.tail.size()) << c.length;
    EXPECT_EQ(line.substr(line.size() - c.tail.size()), c.tail) << c.length;
  }
  CapturedStream captured;
  DebugLog("%s", "ends in lf\n");
  DebugLog("%s", "");
  EXPECT_EQ(captured.stream.texts, (std::vector<std::string>{"ends in lf\n", "\r\n"}));
}

}  // namespace
}  // namespace quorvane
