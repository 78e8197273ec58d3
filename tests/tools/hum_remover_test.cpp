#include "tools/hum_remover.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "codec/ulaw.h"
#include "support/temp_dir.h"
#include "tools/pcm_generator.h"

namespace quorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Opens both files as the window and the command line do, then copies.
bool RunRemoveHum(const std::string& in, const std::string& out, OutputFile& output, std::string* error = nullptr) {
  PcmRawFile input;
  return input.Open(in, error) && output.Open(out, error) && RemoveHum(input, output, error);
}

bool RunRemoveHum(const std::string& in, const std::string& out) {
  AtomicOutputFile output;
  return RunRemoveHum(in, out, output);
}

TEST(HumRemover, QuietRuleOverAllCodes) {
  TempDir dir;
  Bytes input;
  for (int c = 0; c < 256; ++c) input.insert(input.end(), 160, static_cast<std::uint8_t>(c));
  WriteBytes(dir.File("in.pcm"), input);
  ASSERT_TRUE(RunRemoveHum(dir.File("in.pcm"), dir.File("out.pcm")));
  const Bytes out = ReadBytes(dir.File("out.pcm"));
  ASSERT_EQ(out.size(), input.size());
  for (int c = 0; c < 256; ++c) {
    const bool quiet = (c >= 0x5C && c <= 0x7F) || (c >= 0xDC);
    const std::uint8_t expected = quiet || c == 0x7F ? 0xFF : static_cast<std::uint8_t>(c);
    EXPECT_EQ(out[static_cast<std::size_t>(c) * 160], expected) << "code " << c;
  }
}

TEST(HumRemover, OneLoudSampleKeepsTheFrame) {
  TempDir dir;
  Bytes frame(160, 0xE0);  // 372 each: quiet
  frame[17] = 0xDB;        // 524: loud
  Bytes input = frame;
  input.insert(input.end(), 160, 0xE0);
  WriteBytes(dir.File("in.pcm"), input);
  ASSERT_TRUE(RunRemoveHum(dir.File("in.pcm"), dir.File("out.pcm")));
  const Bytes out = ReadBytes(dir.File("out.pcm"));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 160), frame);
  EXPECT_EQ(Bytes(out.begin() + 160, out.end()), Bytes(160, 0xFF));
}

TEST(HumRemover, OnlyWholeFramesAreCopied) {
  TempDir dir;
  WriteBytes(dir.File("330.pcm"), Bytes(330, 0x10));
  WriteBytes(dir.File("short.pcm"), Bytes(100, 0x10));
  ASSERT_TRUE(RunRemoveHum(dir.File("330.pcm"), dir.File("a.pcm")));
  ASSERT_TRUE(RunRemoveHum(dir.File("short.pcm"), dir.File("b.pcm")));
  EXPECT_EQ(ReadBytes(dir.File("a.pcm")).size(), 320u);
  EXPECT_TRUE(std::filesystem::exists(dir.File("b.pcm")));
  EXPECT_TRUE(ReadBytes(dir.File("b.pcm")).empty());
}

TEST(HumRemover, MissingInputLeavesTheOutputUntouched) {
  TempDir dir;
  WriteBytes(dir.File("out.pcm"), {9, 9, 9});
  EXPECT_FALSE(RunRemoveHum(dir.File("missing.pcm"), dir.File("out.pcm")));
  EXPECT_EQ(ReadBytes(dir.File("out.pcm")), (Bytes{9, 9, 9}));
}

TEST(HumRemover, CleansItsOwnOutputInPlace) {
  TempDir dir;
  Bytes input(160, 0xE0);
  input.insert(input.end(), 160, 0x10);
  WriteBytes(dir.File("NoiseClear.pcm"), input);
  ASSERT_TRUE(RunRemoveHum(dir.File("NoiseClear.pcm"), dir.File("NoiseClear.pcm")));
  const Bytes out = ReadBytes(dir.File("NoiseClear.pcm"));
  ASSERT_EQ(out.size(), 320u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[200], 0x10);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
}

TEST(HumRemover, FolderAsInputIsAReadFailure) {
  TempDir dir;
  WriteBytes(dir.File("out.pcm"), {7});
  EXPECT_FALSE(RunRemoveHum(dir.path().string(), dir.File("out.pcm")));
  EXPECT_EQ(ReadBytes(dir.File("out.pcm")), (Bytes{7}));
}

// Fails the chosen stream operation, as a full disk would.
class FailingOutput : public AtomicOutputFile {
 public:
  enum class Fail { Write, Close };
  explicit FailingOutput(Fail fail) : fail_(fail) {}

 protected:
  std::size_t WriteStream(std::FILE* stream, const std::uint8_t* data, std::size_t size) override {
    if (fail_ == Fail::Write) {
      errno = ENOSPC;
      return size / 2;
    }
    return AtomicOutputFile::WriteStream(stream, data, size);
  }
  int CloseStream(std::FILE* stream) override {
    const int result = AtomicOutputFile::CloseStream(stream);
    if (fail_ == Fail::Close) {
      errno = EIO;
      return -1;
    }
    return result;
  }

 private:
  Fail fail_;
};

TEST(HumRemover, FailedWriteOrCloseKeepsTheEarlierContent) {
  for (auto fail : {FailingOutput::Fail::Write, FailingOutput::Fail::Close}) {
    TempDir dir;
    WriteBytes(dir.File("in.pcm"), Bytes(480, 0x10));
    WriteBytes(dir.File("out.pcm"), {1, 2, 3});
    FailingOutput output(fail);
    std::string error;
    EXPECT_FALSE(RunRemoveHum(dir.File("in.pcm"), dir.File("out.pcm"), output, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(dir.File("out.pcm")), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  }
}

TEST(GeneratorOutput, FailedWriteKeepsTheEarlierContent) {
  TempDir dir;
  WriteBytes(dir.File("out.pcm"), {1});
  FailingOutput output(FailingOutput::Fail::Write);
  ASSERT_TRUE(output.Open(dir.File("out.pcm"), nullptr));
  EXPECT_FALSE(GeneratePcmFile("7f,80", 10, output, nullptr));
  EXPECT_EQ(ReadBytes(dir.File("out.pcm")), (Bytes{1}));
}

TEST(AtomicOutput, KeepsPermissionsAndWritesThroughLinks) {
  TempDir dir;
  WriteBytes(dir.File("target.pcm"), {1});
  chmod(dir.File("target.pcm").c_str(), 0640);
  std::filesystem::create_symlink("target.pcm", dir.File("link.pcm"));
  AtomicOutputFile output;
  ASSERT_TRUE(output.Open(dir.File("link.pcm"), nullptr));
  ASSERT_TRUE(GeneratePcmFile("42", 3, output, nullptr));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.pcm")));
  EXPECT_EQ(ReadBytes(dir.File("target.pcm")), (Bytes{0x42, 0x42, 0x42}));
  struct stat st {};
  stat(dir.File("target.pcm").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(AtomicOutput, FolderAsDestinationCannotBeOpened) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  AtomicOutputFile output;
  EXPECT_FALSE(output.Open(dir.File("sub"), nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
}

}  // namespace
}  // namespace quorvane
