#include "tools/pcm_generator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TempDir;

struct ListCase {
  std::string text;
  Bytes bytes;
};

class HexList : public ::testing::TestWithParam<ListCase> {};

TEST_P(HexList, SplitsAndParsesAsTyped) {
  std::uint8_t list[256];
  const int n = ParseHexList(GetParam().text, list);
  EXPECT_EQ(Bytes(list, list + n), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Generator, HexList,
    ::testing::Values(ListCase{"7f,0x80;ff", {0x7F, 0x80, 0xFF}}, ListCase{"11,,22", {0x11, 0x00, 0x22}},
                      ListCase{",11", {0x00, 0x11}}, ListCase{"11,22,", {0x11, 0x22}}, ListCase{",", {0x00}},
                      ListCase{"12, 34", {0x12, 0x03}}, ListCase{"abc", {0xAB}}, ListCase{"0x0x12", {0x00}},
                      ListCase{"11;22,33", {0x11, 0x33}}, ListCase{"11,22;33", {0x11, 0x22, 0x33}},
                      ListCase{"0XfF", {0xFF}}, ListCase{"5", {0x05}}, ListCase{"5G", {0x05}},
                      ListCase{"G5", {0x05}}, ListCase{"123", {0x12}}, ListCase{" 12", {0x01}},
                      ListCase{"x12", {0x01}}, ListCase{"0x", {0x00}}, ListCase{"", {}}, ListCase{";", {0x00}},
                      ListCase{"%s,%n", {0x00, 0x00}}));

TEST(Generator, OnlyTheFirst255BytesCount) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "ab,";  // 300 bytes
  std::uint8_t list[256];
  // 255 bytes hold 85 tokens with their commas.
  EXPECT_EQ(ParseHexList(text, list), 85);
  // A token cut at the 255th byte still counts.
  EXPECT_EQ(ParseHexList(std::string(254, ',') + "7f", list), 255);
  EXPECT_EQ(list[254], 0x07);
  // 255 commas: one empty token each, and no more.
  EXPECT_EQ(ParseHexList(std::string(400, ','), list), 255);
}

TEST(Generator, FullWidthCommasAreNoSeparators) {
  std::string text;
  for (int i = 0; i < 255; ++i) text += "，";  // three bytes each
  std::uint8_t list[256];
  EXPECT_EQ(ParseHexList(text, list), 1);
  EXPECT_EQ(list[0], 0x00);
  EXPECT_EQ(ParseHexList("7f，80", list), 1);
  EXPECT_EQ(list[0], 0x7F);
}

TEST(Generator, WritesTheListRepeatCountTimes) {
  TempDir dir;
  const std::string path = dir.File("out.pcm");
  const auto generate = [&](const std::string& list, std::uint32_t repeat) {
    AtomicOutputFile output;
    return output.Open(path, nullptr) && GeneratePcmFile(list, repeat, output, nullptr);
  };
  EXPECT_TRUE(generate("7f,0x80;ff", 2));
  EXPECT_EQ(testing::ReadBytes(path), (Bytes{0x7F, 0x80, 0xFF, 0x7F, 0x80, 0xFF}));
  EXPECT_TRUE(generate("7f", 0));
  EXPECT_TRUE(testing::ReadBytes(path).empty());
  EXPECT_TRUE(generate("01", 99999));
  EXPECT_EQ(testing::ReadBytes(path).size(), 99999u);
}

}  // namespace
}  // namespace quorvane
