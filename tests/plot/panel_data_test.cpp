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
#include "plot/stream_analysis.h"
#include "plot/stream_samples.h"

namespace quorvane::plot {
namespace {

std::vector<std::int16_t> Sample(const std::string& name) {
  StreamSamples stream;
  std::string error;
  EXPECT_TRUE(ReadStreamSamples(std::string(QUORVANE_SAMPLES) + "/" + name, {}, "", stream, &error)) << error;
  return stream.samples;
}

ColumnGrid Whole(const std::vector<std::int16_t>& samples, int columns) {
  return {0, static_cast<std::int64_t>(samples.size()), columns};
}

PlotData Plot(const std::vector<std::int16_t>& samples, const ColumnGrid& grid, PlotWhat what,
              DtmfProfile profile = DtmfProfile::kExact, TonePlan plan = TonePlan::Bell202) {
  return BuildPlotData(samples, {grid, what, plan, profile}, "");
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
    const DtmfPanel panel = *Plot(samples, Whole(samples, 800), PlotWhat::kDtmf).dtmf;
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
  const DtmfPanel panel = *Plot(samples, Whole(samples, 500), PlotWhat::kDtmf, DtmfProfile::kRobust).dtmf;
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

TEST(DtmfPanel, BlockAtFindsTheBlockUnderASample) {
  DtmfTrack track;
  for (std::int64_t start : {1020, 1122, 1224}) track.blocks.push_back({start, 102, {}, {}, 0, 0});
  const struct {
    std::int64_t sample;
    std::int64_t start;  // -1: none
  } cases[] = {{0, -1}, {1019, -1}, {1020, 1020}, {1121, 1020}, {1122, 1122}, {1325, 1224}, {1326, -1}};
  for (const auto& c : cases) {
    const DtmfBlockView* block = DtmfBlockAt(track, c.sample);
    EXPECT_EQ(block ? block->start : -1, c.start) << "sample " << c.sample;
  }
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
        *Plot(samples, Whole(samples, 1000), PlotWhat::kCallerId, DtmfProfile::kExact, c.plan).callerId;
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

// A range's panels taken from the whole stream's tracks are those the
// detectors give when run just far enough for that range.
TEST(StreamAnalysis, RangePanelsAreThoseBuiltForTheRange) {
  const struct {
    const char* name;
    DtmfProfile profile;
    TonePlan plan;
  } streams[] = {{"dtmf-keys.pcm", DtmfProfile::kExact, TonePlan::Bell202},
                 {"dtmf-noisy.pcm", DtmfProfile::kRobust, TonePlan::Bell202},
                 {"callerid-mdmf.pcm", DtmfProfile::kExact, TonePlan::Bell202},
                 {"callerid-sdmf-v23.pcm", DtmfProfile::kRobust, TonePlan::V23}};
  // Parts of the stream, by thousandths, and their pixel columns.
  const struct {
    int from, to, columns;
  } ranges[] = {{0, 1000, 700},  {0, 50, 300},    {137, 611, 1200}, {400, 403, 97},
                {500, 700, 1},   {903, 1000, 640}, {999, 1000, 3000}};
  for (const auto& stream : streams) {
    const auto samples = Sample(stream.name);
    const auto count = static_cast<std::int64_t>(samples.size());
    StreamAnalysis whole(samples.data(), count);
    for (const auto& r : ranges) {
      const ColumnGrid grid{count * r.from / 1000, count * r.to / 1000, r.columns};
      const PlotRequest request{grid, PlotWhat::kBoth, stream.plan, stream.profile};
      const PlotData taken = whole.Plot(request, "t");
      const PlotData built = BuildPlotData(samples, request, "t");
      const std::string where = std::string(stream.name) + " samples " + std::to_string(grid.first) + "-" +
                                std::to_string(grid.end);
      EXPECT_TRUE(taken.dtmf == built.dtmf) << where;
      EXPECT_TRUE(taken.callerId == built.callerId) << where;
      EXPECT_TRUE(taken == built) << where;
    }
  }
}

TEST(StreamAnalysis, RunsEachDetectorOnceWhateverTheRanges) {
  const auto samples = Sample("callerid-mdmf.pcm");
  const auto count = static_cast<std::int64_t>(samples.size());
  StreamAnalysis analysis(samples.data(), count);
  const struct {
    DtmfProfile profile;
    TonePlan plan;
    int runsAfter;
  } steps[] = {{DtmfProfile::kExact, TonePlan::Bell202, 2},
               {DtmfProfile::kExact, TonePlan::V23, 3},
               {DtmfProfile::kRobust, TonePlan::V23, 4},
               {DtmfProfile::kExact, TonePlan::Bell202, 4}};
  for (const auto& step : steps) {
    for (std::int64_t first = 0; first < count; first += count / 5) {
      analysis.Plot({{first, std::min(count, first + 4000), 600}, PlotWhat::kBoth, step.plan, step.profile}, "");
    }
    EXPECT_EQ(analysis.DetectorRuns(), step.runsAfter);
  }
  const DtmfTrack* exact = &analysis.Dtmf(DtmfProfile::kExact);
  analysis.Plot({{0, count, 800}, PlotWhat::kDtmf, TonePlan::Bell202, DtmfProfile::kExact}, "");
  EXPECT_EQ(&analysis.Dtmf(DtmfProfile::kExact), exact);
  EXPECT_EQ(analysis.DetectorRuns(), 4);
}

TEST(ResolveRange, RejectsEmptyReversedAndOutsideRanges) {
  std::int64_t first = 0, end = 0;
  std::string error;
  ASSERT_TRUE(ResolveRange(0.5, -1, 8000, &first, &end, &error));
  EXPECT_EQ(first, 4000);
  EXPECT_EQ(end, 8000);
  const struct {
    double from, to;
    const char* reason;
  } refused[] = {{0.6, 0.5, "is not before"}, {0.5, 0.5, "is not before"}, {0.0, 1.5, "past the end"},
                 {2.0, -1, "is not before"}, {-1.0, 0.5, "negative"}};
  for (const auto& r : refused) {
    EXPECT_FALSE(ResolveRange(r.from, r.to, 8000, &first, &end, &error)) << r.from << " " << r.to;
    EXPECT_NE(error.find(r.reason), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace quorvane::plot
