// End-to-end: quorvane drvscript.
#include <gtest/gtest.h>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::ReadBytes;
using testing::TempDir;

std::string Text(const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); }
std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(CliDrvScript, DefaultFilesInTheDriveDFolder) {
  TempDir dir;
  testing::WriteBytes(dir.File("NET_7Q408.txt"), Bytes("10,20\r\nwait,5\r\nbad\r\n"));
  const auto r = testing::RunProcess({QUORVANE_BINARY, "drvscript"}, "", {"QUORVANE_DRIVE_D=" + dir.path().string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0x10,0x20\r\nwait: 5\r\nError Cmd: bad\r\n");
  EXPECT_EQ(Text(ReadBytes(dir.File("DrvInitLog.txt"))), r.out);
  EXPECT_EQ(r.err, "");
}

TEST(CliDrvScript, ExplicitPathsMissingScriptAndUnwritableLog) {
  TempDir dir;
  testing::WriteBytes(dir.File("s c.txt"), Bytes("1,2"));
  const auto ok = testing::RunQuorvane({"drvscript", "--script", dir.File("s c.txt"), "--log", dir.File("l.txt")});
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_EQ(Text(ReadBytes(dir.File("l.txt"))), "0x01,0x2\r\n");

  const auto missing = testing::RunQuorvane({"drvscript", "--script", dir.File("none.txt"), "--log", dir.File("l.txt")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("none.txt"), std::string::npos);
  EXPECT_TRUE(ReadBytes(dir.File("l.txt")).empty());  // created afresh all the same

  const auto full = testing::RunQuorvane({"drvscript", "--script", dir.File("s c.txt"), "--log", "/dev/full"});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("No space left"), std::string::npos);

  const auto folder = testing::RunQuorvane({"drvscript", "--script", dir.path().string(), "--log", dir.File("l.txt")});
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_EQ(testing::RunQuorvane({"drvscript", "--bogus"}).exitCode, 2);
}

}  // namespace
}  // namespace quorvane
