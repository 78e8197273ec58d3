#include "dtmf/exact/dtmf_channel.h"

#include <gtest/gtest.h>

#include "codec/ulaw.h"
#include "dtmf/dtmf_test_signals.h"

namespace quorvane {
namespace {

std::vector<std::uint8_t> ToUlaw(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> codes(samples.size());
  LinearBufferToUlaw(samples.data(), codes.data(), static_cast<int>(samples.size()));
  return codes;
}

// Mu-law bytes of `keys`, each a 60 ms tone followed by 40 ms of silence.
std::vector<std::uint8_t> KeyBursts(const std::string& keys) {
  std::vector<std::int16_t> samples;
  for (char key : keys) {
    auto tone = testing::DualTone(key, 6000.0, 480);
    samples.insert(samples.end(), tone.begin(), tone.end());
    samples.insert(samples.end(), 320, 0);
  }
  return ToUlaw(samples);
}

std::string ReportAll(DtmfChannel& channel, std::vector<std::uint8_t>& bytes, int frameSize) {
  std::string reported;
  for (std::size_t p = 0; p + static_cast<std::size_t>(frameSize) <= bytes.size(); p += static_cast<std::size_t>(frameSize)) {
    char digit = 0;
    EXPECT_EQ(channel.ProcessFrame(bytes.data() + p, frameSize, &digit), 0);
    if (digit) reported.push_back(digit);
  }
  return reported;
}

TEST(DtmfChannel, ReportsEachDigitOnce) {
  DtmfChannel channel;
  auto bytes = KeyBursts("123#");
  EXPECT_EQ(ReportAll(channel, bytes, 160), "123#");
  EXPECT_EQ(channel.reportCount, 4);
}

TEST(DtmfChannel, RefusesMoreThanItsScratchHolds) {
  DtmfChannel channel;
  std::vector<std::uint8_t> bytes(257, 0x00);
  const std::vector<std::uint8_t> before = bytes;
  char digit = 'x';
  EXPECT_EQ(channel.ProcessFrame(bytes.data(), 257, &digit), -1);
  EXPECT_EQ(digit, 0);
  EXPECT_EQ(bytes, before);
  EXPECT_EQ(channel.detector.blockFill, 0);
  EXPECT_EQ(channel.detector.blockEnergy, 0.0f);
  // 256 is still taken.
  EXPECT_EQ(channel.ProcessFrame(bytes.data(), 256, &digit), 0);
  EXPECT_EQ(channel.detector.blockFill, 256 % kDtmfBlockSize);
}

TEST(DtmfChannel, WriteBackSilencesToneSamplesOnlyWhenAsked) {
  auto bytes = KeyBursts("7");
  auto untouched = bytes;
  DtmfChannel reader;
  ReportAll(reader, untouched, 160);
  EXPECT_EQ(untouched, KeyBursts("7"));

  DtmfChannel writer;
  writer.writeBack = true;
  EXPECT_EQ(ReportAll(writer, bytes, 160), "7");
  int silenced = 0;
  for (std::uint8_t b : bytes) silenced += (b == 0xFF);
  EXPECT_GT(silenced, 480 - 2 * kDtmfBlockSize);
}

TEST(DtmfChannel, CutsBackTheRecordAtThe101stReport) {
  DtmfChannel channel;
  std::string keys;
  for (int i = 0; i < 150; ++i) keys.push_back("0123456789"[i % 10]);
  auto bytes = KeyBursts(keys);
  EXPECT_EQ(ReportAll(channel, bytes, 160), keys);
  // 150 reports: cut back at the 101st, then 49 more.
  EXPECT_EQ(channel.reportCount, 49);
  EXPECT_EQ(channel.detector.digitCount, 50);
  EXPECT_EQ(channel.detector.totalDigits, 50);
  EXPECT_EQ(channel.detector.digits[0], keys[100]);
  EXPECT_EQ(channel.detector.overflowCount, 0);
}

}  // namespace
}  // namespace quorvane
