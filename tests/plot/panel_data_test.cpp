// The panel data agrees with the detectors it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_detector.h"
#include "runs/dtmf_run.h"
#include "dtmf/robust/detector.h"
#include "callerid/exact/fsk_receiver.h"
#include "runs/fsk_run.h"
#include "plot/plot_data.h"
#include "plot/stream_samples.h"

namespace quorvane::plot {
namespace {

std::vector<std::int16_t> Sample(const std::string& name) {
  StreamSamples stream;
  const std::string error = ReadStreamSamples(std::string(QUORVANE_SAMPLES) + "/" + name, {}, "", stream);
  EXPECT_EQ(error, "");
  return stream.samples;
}

ColumnGrid Whole(const std::vector<std::int16_t>& samples, int columns) {
  return {0, static_cast<std::int64_t>(samples.size()), columns};
}

TEST(WaveformPanel, EnvelopeHoldsTheTrueExtremesOfEveryColumn) {
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<std::int16_t> samples(10007);
  for (auto& s : samples) s = static_cast<std::int16_t>(value(random));
  for (const ColumnGrid grid : {ColumnGrid{0, 10007, 997}, ColumnGrid{13, 9000, 1600}, ColumnGrid{500, 517, 3}}) {
    const WaveformPanel panel = BuildWaveformPanel(samples.data(), grid);
    std::int64_t covered = 0;
    for (int c = 0; c < grid.columns; ++c) {
      const auto begin = samples.begin() + grid.ColumnStart(c);
      const auto end = samples.begin() + grid.ColumnStart(c + 1);
      covered += end - begin;
      ASSERT_LT(begin, end);
      EXPECT_EQ(panel.minimum[c], *std::min_element(begin, end)) << "seed " << seed << " column " << c;
      EXPECT_EQ(panel.maximum[c], *std::max_element(begin, end)) << "seed " << seed << " column " << c;
      EXPECT_EQ(grid.ColumnOf(grid.ColumnStart(c)), c);
    }
    EXPECT_EQ(covered, grid.Samples());
  }
}

TEST(DtmfPanel, BlockDecisionsAndDigitsAreTheDetectors) {
  for (const char* name : {"dtmf-keys.pcm", "dtmf-noisy.pcm"}) {
    const auto samples = Sample(name);
    const DtmfPanel panel = BuildDtmfPanel(samples.data(), static_cast<std::int64_t>(samples.size()), Whole(samples, 800));
    // The detector fed one block per call records each block's result last.
    DtmfDetector detector;
    DtmfDetectorInit(&detector);
    const std::size_t blocks = samples.size() / kUlawFrameBytes * kUlawFrameBytes / kDtmfBlockSize;
    ASSERT_EQ(panel.blocks.size(), blocks) << name;
    std::vector<std::int16_t> copy(samples);
    std::int32_t toneFlag = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
      DtmfDetect(&detector, copy.data() + b * kDtmfBlockSize, kDtmfBlockSize, DTMF_KEEP_SAMPLES, &toneFlag);
      EXPECT_EQ(panel.blocks[b].result, detector.history[3]) << name << " block " << b;
      EXPECT_EQ(panel.blocks[b].start, static_cast<std::int64_t>(b * kDtmfBlockSize));
    }
    std::string digits;
    for (const auto& d : panel.digits) digits += d.digit;
    PcmRawFile file;
    ASSERT_TRUE(file.Open(std::string(QUORVANE_SAMPLES) + "/" + name, nullptr));
    DtmfRunResult run;
    ASSERT_TRUE(RunDtmfDetection(file, &run, nullptr));
    EXPECT_EQ(digits, run.digits) << name;
  }
}

TEST(DtmfPanel, RobustEventsAreTheDetectors) {
  const auto samples = Sample("dtmf-noisy.pcm");
  const auto count = static_cast<std::int64_t>(samples.size());
  const DtmfPanel panel = BuildRobustDtmfPanel(samples.data(), count, Whole(samples, 500));
  DtmfKeyList keys;
  auto detector = std::make_unique<RobustDtmfDetector>();
  RobustDtmfInit(*detector, {});
  RobustDtmfProcess(*detector, samples.data(), samples.size(), keys);
  RobustDtmfFinish(*detector, keys);
  const std::vector<DtmfKeyEvent>& events = keys.keys;
  ASSERT_FALSE(events.empty());
  ASSERT_EQ(panel.digits.size(), events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(panel.digits[i].digit, events[i].key);
    EXPECT_EQ(panel.digits[i].position, events[i].start);
    EXPECT_EQ(panel.digits[i].duration, events[i].duration);
  }
  EXPECT_EQ(panel.blocks.size(), static_cast<std::size_t>(count / kRobustDtmfSubBlock));  // whole sub-blocks
}

struct Character {
  std::int64_t end;
  std::int32_t value;
  bool operator==(const Character&) const = default;
};

// The characters the demodulator gives when fed as the receiver feeds it.
std::vector<Character> ReceiverCharacters(const std::vector<std::int16_t>& samples, std::int32_t mode) {
  FskReceiver receiver;
  receiver.Init(mode);
  std::vector<Character> characters;
  std::int64_t position = 0;
  const auto whole = static_cast<std::int64_t>(samples.size()) / kUlawFrameBytes * kUlawFrameBytes;
  for (std::int64_t fed = kUlawFrameBytes; fed <= whole; fed += kUlawFrameBytes) {
    std::int32_t count = static_cast<std::int32_t>(fed - position);
    while (count >= kUlawFrameBytes) {
      const std::int32_t before = count;
      std::int32_t character = 0;
      const std::int32_t result = Demodulate(&receiver.demod, samples.data() + position, &count, &character);
      position += before - count;
      if (result == 1) characters.push_back({position, character});
    }
  }
  return characters;
}

TEST(CallerIdPanel, BitsBytesAndMessagesAreTheReceivers) {
  const struct {
    const char* name;
    TonePlan plan;
  } cases[] = {{"callerid-mdmf.pcm", TonePlan::Bell202}, {"callerid-sdmf-v23.pcm", TonePlan::V23},
               {"dtmf-keys.pcm", TonePlan::Bell202}};
  for (const auto& c : cases) {
    const auto samples = Sample(c.name);
    const CallerIdPanel panel =
        BuildCallerIdPanel(samples.data(), static_cast<std::int64_t>(samples.size()), Whole(samples, 1000), c.plan);
    std::vector<Character> drawn;
    for (const auto& ch : panel.characters) drawn.push_back({ch.end, ch.value});
    const auto expected = ReceiverCharacters(samples, ExactReceiverMode(c.plan));
    EXPECT_FALSE(expected.empty()) << c.name;
    EXPECT_EQ(drawn, expected) << c.name;
    // Ten bits per character (start bit already taken): eight data bits, LSB
    // first, and the stop bit, whose space sets the framing-error bit.
    ASSERT_EQ(panel.bits.size(), 9 * panel.characters.size()) << c.name;
    for (std::size_t i = 0; i < panel.characters.size(); ++i) {
      std::int32_t value = 0;
      for (int b = 0; b < 8; ++b) value |= panel.bits[9 * i + b].mark ? 1 << b : 0;
      if (!panel.bits[9 * i + 8].mark) value |= 0x200;
      EXPECT_EQ(value, panel.characters[i].value) << c.name << " character " << i;
      EXPECT_LT(panel.bits[9 * i + 8].position, panel.characters[i].end);
      EXPECT_GE(panel.bits[9 * i].position, panel.characters[i].start);
    }
    PcmRawFile file;
    ASSERT_TRUE(file.Open(std::string(QUORVANE_SAMPLES) + "/" + c.name, nullptr));
    FskRunResult run;
    ASSERT_TRUE(RunFskDetection(file, &run, nullptr, c.plan));
    ASSERT_EQ(panel.messages.size(), run.messages.size()) << c.name;
    for (std::size_t i = 0; i < run.messages.size(); ++i) {
      EXPECT_EQ(panel.messages[i].number, run.messages[i].info.number);
      EXPECT_EQ(panel.messages[i].name, run.messages[i].info.name);
      EXPECT_EQ(panel.messages[i].messageType == kMultipleDataMessage, run.messages[i].info.type == CallerIdType::Mdmf);
    }
  }
}

TEST(ResolveRange, RejectsEmptyReversedAndOutsideRanges) {
  EXPECT_EQ(ResolveRange(0.5, -1, 8000).first, 4000);
  EXPECT_EQ(ResolveRange(0.5, -1, 8000).end, 8000);
  EXPECT_NE(ResolveRange(0.6, 0.5, 8000).error, "");
  EXPECT_NE(ResolveRange(0.5, 0.5, 8000).error, "");
  EXPECT_NE(ResolveRange(0.0, 1.5, 8000).error, "");
  EXPECT_NE(ResolveRange(2.0, -1, 8000).error, "");
}

}  // namespace
}  // namespace quorvane::plot
