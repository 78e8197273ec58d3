#include "codec/pcm_raw_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::TempDir;

TEST(PcmRawFile, ReadsWholeFramesOnlyAndSkipsTheOffset) {
  TempDir dir;
  std::vector<std::uint8_t> bytes(5 + 160 * 2 + 40);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  testing::WriteBytes(dir.File("a.pcm"), bytes);

  PcmRawFile file;
  ASSERT_TRUE(file.Open(dir.File("a.pcm"), nullptr));
  file.Skip(5);
  UlawFrame frame;
  ASSERT_TRUE(file.ReadFrame(frame));
  EXPECT_EQ(frame[0], 5);
  ASSERT_TRUE(file.ReadFrame(frame));
  EXPECT_EQ(frame[0], 165);
  EXPECT_FALSE(file.ReadFrame(frame));  // 40 bytes left: never handed out
  EXPECT_TRUE(file.ReadsSucceeded(nullptr));
}

TEST(PcmRawFile, MissingFileAndFolderAreReported) {
  TempDir dir;
  PcmRawFile file;
  std::string error;
  EXPECT_FALSE(file.Open(dir.File("missing.pcm"), &error));
  EXPECT_EQ(error, "No such file or directory");

  // A folder opens for reading on this system but cannot be read.
  ASSERT_TRUE(file.Open(dir.path().string(), nullptr));
  UlawFrame frame;
  EXPECT_FALSE(file.ReadFrame(frame));
  EXPECT_FALSE(file.ReadsSucceeded(&error));
  EXPECT_EQ(error, "Is a directory");
}

}  // namespace
}  // namespace quorvane
