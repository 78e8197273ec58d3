// Every vector path of DtmfChannel::ProcessFrames against ProcessFrame, the
// scalar reference, bit for bit: digits and their frames, rewritten frames
// (sample clearing), and the whole channel state afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_blocks.h"
#include "dtmf/exact/dtmf_channel.h"
#include "dtmf/dtmf_test_signals.h"
#include "simd/vector_paths.h"

namespace quorvane {
namespace {

std::vector<std::uint8_t> ToUlaw(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> codes(samples.size());
  LinearBufferToUlaw(samples.data(), codes.data(), static_cast<int>(samples.size()));
  return codes;
}

// Keys of uneven lengths and gaps, levels swept across the power, twist and
// energy thresholds, with noise: block results land on both sides of every
// test, and more than 101 digits make the channel cut its record back.
std::vector<std::uint8_t> KeysAcrossThresholds() {
  std::mt19937 random(7);
  std::vector<std::int16_t> samples;
  const std::string keys = "123A456B789C*0#D";
  for (int i = 0; i < 240; ++i) {
    const char key = keys[static_cast<std::size_t>(i) % keys.size()];
    const int length = 200 + static_cast<int>(random() % 500);
    const double peak = 560.0 + 5.0 * (i % 60);
    auto tone = testing::DualTone(key, peak, length);
    const double noise = static_cast<double>(random() % 400);
    for (auto& s : tone) s = static_cast<std::int16_t>(s + std::lround(noise * (std::uniform_real_distribution<>(-1, 1)(random))));
    samples.insert(samples.end(), tone.begin(), tone.end());
    samples.insert(samples.end(), static_cast<std::size_t>(random() % 400), 0);
  }
  return ToUlaw(samples);
}

std::vector<std::uint8_t> RandomBytes() {
  std::mt19937 random(11);
  std::vector<std::uint8_t> bytes(160 * 300);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

// Full-scale runs of both signs, long and short, then the smallest codes.
std::vector<std::uint8_t> Extremes() {
  std::vector<std::uint8_t> bytes;
  for (int run : {1, 2, 51, 102, 103, 160, 700}) {
    bytes.insert(bytes.end(), static_cast<std::size_t>(run), 0x80);  // +32124
    bytes.insert(bytes.end(), static_cast<std::size_t>(run), 0x00);  // -32124
  }
  for (int i = 0; i < 160 * 40; ++i) bytes.push_back(i % 3 == 0 ? 0xFE : (i % 3 == 1 ? 0x7E : 0xFF));
  bytes.resize(bytes.size() / 160 * 160);
  return bytes;
}

void ExpectSameChannel(const DtmfChannel& a, const DtmfChannel& b) {
  const DtmfDetector& x = a.detector;
  const DtmfDetector& y = b.detector;
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(std::memcmp(&x.row[k], &y.row[k], sizeof x.row[k]), 0) << "row " << k;
    EXPECT_EQ(std::memcmp(&x.col[k], &y.col[k], sizeof x.col[k]), 0) << "col " << k;
  }
  EXPECT_EQ(std::memcmp(x.history, y.history, sizeof x.history), 0);
  EXPECT_EQ(x.heldDigit, y.heldDigit);
  EXPECT_EQ(std::memcmp(&x.blockEnergy, &y.blockEnergy, sizeof x.blockEnergy), 0);
  EXPECT_EQ(x.blockFill, y.blockFill);
  EXPECT_EQ(std::memcmp(x.digits, y.digits, sizeof x.digits), 0);
  EXPECT_EQ(x.digitCount, y.digitCount);
  EXPECT_EQ(x.totalDigits, y.totalDigits);
  EXPECT_EQ(x.overflowCount, y.overflowCount);
  EXPECT_EQ(std::memcmp(x.keyHits, y.keyHits, sizeof x.keyHits), 0);
  EXPECT_EQ(x.lastDigit, y.lastDigit);
  EXPECT_EQ(a.reportCount, b.reportCount);
}

struct Signal {
  const char* name;
  std::vector<std::uint8_t> (*make)();
};

class DtmfVectorPaths : public ::testing::TestWithParam<Signal> {
 protected:
  void TearDown() override { ForceVectorPath(0); }
};

TEST_P(DtmfVectorPaths, EqualTheScalarChannel) {
  const std::vector<std::uint8_t> signal = GetParam().make();
  const std::int64_t frames = static_cast<std::int64_t>(signal.size()) / kUlawFrameBytes;
  // Open blocks of several fills at the start, frames rewritten or not.
  for (const auto& [lead, writeBack] : {std::pair{0, false}, {1, true}, {57, true}, {101, false}}) {
    std::vector<std::uint8_t> leadBytes(static_cast<std::size_t>(lead), 0x80);
    char ignored = 0;
    DtmfChannel reference;
    reference.writeBack = writeBack;
    reference.ProcessFrame(leadBytes.data(), lead, &ignored);
    std::vector<std::uint8_t> expectedBytes = signal;
    std::vector<DtmfKeyEvent> expected;
    for (std::int64_t f = 0; f < frames; ++f) {
      char digit = 0;
      reference.ProcessFrame(expectedBytes.data() + f * kUlawFrameBytes, kUlawFrameBytes, &digit);
      if (digit != 0) expected.push_back({digit, f * kUlawFrameBytes, 0, std::nullopt});
    }
    for (std::int64_t path : AvailableVectorPaths()) {
      SCOPED_TRACE(VectorPathName(path) + " lead " + std::to_string(lead) + (writeBack ? " writeBack" : ""));
      ForceVectorPath(path);
      ASSERT_EQ(DtmfVectorTarget(), path);
      DtmfChannel bulk;
      bulk.writeBack = writeBack;
      bulk.ProcessFrame(leadBytes.data(), lead, &ignored);
      // Uneven slices, so stretches and calls start at every kind of point.
      std::vector<std::uint8_t> bytes = signal;
      DtmfKeyList found;
      for (std::int64_t f = 0, slice = 1; f < frames; f += slice, slice = slice * 3 % 401) {
        bulk.ProcessFrames(bytes.data() + f * kUlawFrameBytes, std::min(slice, frames - f), f * kUlawFrameBytes, found);
      }
      ASSERT_EQ(found.keys.size(), expected.size());
      for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(found.keys[i].key, expected[i].key) << i;
        EXPECT_EQ(found.keys[i].start, expected[i].start) << i;
      }
      EXPECT_EQ(bytes, expectedBytes);
      ExpectSameChannel(bulk, reference);
      if (writeBack) continue;
      // Linear samples in, as from the input layer.
      DtmfChannel linear;
      linear.ProcessFrame(leadBytes.data(), lead, &ignored);
      std::vector<std::int16_t> samples(signal.size());
      UlawBufferToLinear(signal.data(), samples.data(), static_cast<int>(samples.size()));
      DtmfKeyList linearFound;
      linear.ProcessSampleFrames(samples.data(), frames, 0, linearFound);
      ASSERT_EQ(linearFound.keys.size(), expected.size());
      for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(linearFound.keys[i].start, expected[i].start) << i;
      ExpectSameChannel(linear, reference);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, DtmfVectorPaths,
                         ::testing::Values(Signal{"keys", KeysAcrossThresholds}, Signal{"random", RandomBytes},
                                           Signal{"extremes", Extremes}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DtmfVectorPaths, KeysAcrossThresholdsFindDigits) {
  // The threshold sweep must really produce digits, or it checks little.
  DtmfChannel channel;
  std::vector<std::uint8_t> bytes = KeysAcrossThresholds();
  DtmfKeyList found;
  channel.ProcessFrames(bytes.data(), static_cast<std::int64_t>(bytes.size()) / kUlawFrameBytes, 0, found);
  EXPECT_GT(found.keys.size(), 110u);
  EXPECT_LT(found.keys.size(), 240u);
}

}  // namespace
}  // namespace quorvane
