// The promises every detector of the contract makes, checked once for all
// four: the events do not depend on how the samples are cut into calls or
// where the signal starts, a copy taken mid-stream goes on exactly as the
// original, and Reset gives a fresh start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "callerid/exact/exact_callerid.h"
#include "callerid/robust/receiver.h"
#include "callerid/synth.h"
#include "dtmf/exact/exact_dtmf.h"
#include "dtmf/robust/detector.h"
#include "dtmf/robust_dtmf_signals.h"
#include "detect/stream_detector.h"

namespace quorvane {
namespace {

// One event a line: what was found and where.
struct Found {
  std::string what;
  std::int64_t start;
};

std::vector<std::int16_t> NoisyKeys() {
  testing::KeyTones k;
  k.toneMs = 45;
  std::vector<double> signal = testing::KeySignal("159D*0#A", k);
  testing::AddBandNoise(signal, k, 12.0, 7);
  return testing::ToSamples(signal);
}

// Every key plainly there for the detector, so that only the alignment
// changes: the exact one needs three whole 102-sample blocks of a tone.
std::vector<std::int16_t> CleanKeys(double toneMs) {
  testing::KeyTones k;
  k.toneMs = toneMs;
  k.gapMs = toneMs;
  return testing::ToSamples(testing::KeySignal("123A456B789C*0#D", k));
}

std::vector<std::int16_t> TwoBursts() {
  CallerIdSynthOptions o;
  o.number = "5551234567";
  o.name = "QUORVANE TEST";
  o.snrDb = 15.0;
  std::string error;
  std::vector<std::int16_t> samples;
  CallerIdSamples(o, &samples, &error);
  o.number = "6001";
  o.plan = TonePlan::Bell202;
  std::vector<std::int16_t> second;
  CallerIdSamples(o, &second, &error);
  samples.insert(samples.end(), second.begin(), second.end());
  return samples;
}

class KeysFound final : public DtmfKeySink {
 public:
  void Key(const DtmfKeyEvent& e) override { found.push_back({std::string(1, e.key) + "+" + std::to_string(e.duration), e.start}); }
  std::vector<Found> found;
};

class MessagesFound final : public CallerIdSink {
 public:
  void Message(const CallerIdMessageEvent& e) override {
    found.push_back({std::string(CallerIdTypeName(e.info.type)) + " " + e.info.number + " " + e.info.name, e.start});
  }
  void Alert(const AlertTone& a) override { found.push_back({"alert", a.startSample}); }
  std::vector<Found> found;
};

class AnyFound final : public DetectionEvents {
 public:
  void Key(const DtmfKeyEvent& e) override { keys.Key(e); }
  void Message(const CallerIdMessageEvent& e) override { messages.Message(e); }
  void Alert(const AlertTone& a) override { messages.Alert(a); }
  KeysFound keys;
  MessagesFound messages;
};

// What each detector needs for the suite: its functions, a signal it finds
// things in, and how far a position may move with the signal's start
// (the exact detectors report at frame starts).
struct ExactDtmfContract {
  static constexpr DetectorSettings kSettings{DetectorKind::Dtmf, DetectorProfile::Exact};
  using State = ExactDtmf;
  using Events = KeysFound;
  static void Init(State& s) { ExactDtmfInit(s, {}); }
  static void Process(State& s, const std::int16_t* x, std::size_t n, Events& e) { ExactDtmfProcess(s, x, n, e); }
  static void Finish(State& s, Events& e) { ExactDtmfFinish(s, e); }
  static void Reset(State& s) { ExactDtmfReset(s); }
  static std::vector<std::int16_t> Signal() { return NoisyKeys(); }
  static std::vector<std::int16_t> OffsetSignal() { return CleanKeys(60); }
  static constexpr std::int64_t kStartTolerance = 2 * kUlawFrameBytes;
  static constexpr bool kDurationsMove = false;
};

struct RobustDtmfContract {
  static constexpr DetectorSettings kSettings{DetectorKind::Dtmf, DetectorProfile::Robust};
  using State = RobustDtmfDetector;
  using Events = KeysFound;
  static void Init(State& s) { RobustDtmfInit(s, {}); }
  static void Process(State& s, const std::int16_t* x, std::size_t n, Events& e) { RobustDtmfProcess(s, x, n, e); }
  static void Finish(State& s, Events& e) { RobustDtmfFinish(s, e); }
  static void Reset(State& s) { RobustDtmfReset(s); }
  static std::vector<std::int16_t> Signal() { return NoisyKeys(); }
  static std::vector<std::int16_t> OffsetSignal() { return CleanKeys(40); }
  static constexpr std::int64_t kStartTolerance = 12;
  static constexpr bool kDurationsMove = true;
};

struct ExactCallerIdContract {
  static constexpr DetectorSettings kSettings{DetectorKind::CallerId, DetectorProfile::Exact};
  using State = ExactCallerId;
  using Events = MessagesFound;
  static void Init(State& s) { ExactCallerIdInit(s, {}); }
  static void Process(State& s, const std::int16_t* x, std::size_t n, Events& e) { ExactCallerIdProcess(s, x, n, e); }
  static void Finish(State& s, Events& e) { ExactCallerIdFinish(s, e); }
  static void Reset(State& s) { ExactCallerIdReset(s); }
  static std::vector<std::int16_t> Signal() { return TwoBursts(); }
  static std::vector<std::int16_t> OffsetSignal() { return TwoBursts(); }
  static constexpr std::int64_t kStartTolerance = 2 * kUlawFrameBytes;
  static constexpr bool kDurationsMove = false;
};

struct RobustCallerIdContract {
  static constexpr DetectorSettings kSettings{DetectorKind::CallerId, DetectorProfile::Robust};
  using State = RobustCallerIdReceiver;
  using Events = MessagesFound;
  static void Init(State& s) { RobustCallerIdInit(s, {}); }
  static void Process(State& s, const std::int16_t* x, std::size_t n, Events& e) { RobustCallerIdProcess(s, x, n, e); }
  static void Finish(State& s, Events& e) { RobustCallerIdFinish(s, e); }
  static void Reset(State& s) { RobustCallerIdReset(s); }
  static std::vector<std::int16_t> Signal() { return TwoBursts(); }
  static std::vector<std::int16_t> OffsetSignal() { return TwoBursts(); }
  static constexpr std::int64_t kStartTolerance = 2;
  static constexpr bool kDurationsMove = false;
};

template <typename C>
class DetectorContract : public ::testing::Test {
 protected:
  // Feeds `samples` in the call sizes `cut` gives (everything at once when null).
  template <typename Cut>
  static std::vector<Found> Run(typename C::State& state, const std::vector<std::int16_t>& samples, Cut cut) {
    typename C::Events events;
    for (std::size_t at = 0; at < samples.size();) {
      const std::size_t n = std::min(samples.size() - at, cut());
      C::Process(state, samples.data() + at, n, events);
      at += n;
    }
    C::Finish(state, events);
    return events.found;
  }
  static std::vector<Found> Whole(const std::vector<std::int16_t>& samples) {
    auto state = std::make_unique<typename C::State>();
    C::Init(*state);
    return Run(*state, samples, [&] { return samples.size(); });
  }
  static void ExpectSame(const std::vector<Found>& a, const std::vector<Found>& b, std::int64_t shift = 0,
                         std::int64_t tolerance = 0) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (tolerance == 0 || !C::kDurationsMove) EXPECT_EQ(a[i].what, b[i].what) << "event " << i;
      else EXPECT_EQ(a[i].what[0], b[i].what[0]) << "event " << i;
      EXPECT_LE(std::abs(a[i].start - shift - b[i].start), tolerance) << "event " << i << " (" << a[i].what << ")";
    }
  }
};

using Contracts = ::testing::Types<ExactDtmfContract, RobustDtmfContract, ExactCallerIdContract, RobustCallerIdContract>;
TYPED_TEST_SUITE(DetectorContract, Contracts);

TYPED_TEST(DetectorContract, AnyCallSizesGiveTheSameEvents) {
  const std::vector<std::int16_t> samples = TypeParam::Signal();
  const std::vector<Found> whole = this->Whole(samples);
  ASSERT_GE(whole.size(), 2u) << "the signal must give the detector something to find";
  const unsigned seed = std::random_device{}();
  std::printf("call-size seed %u\n", seed);
  std::mt19937 random(seed);
  auto state = std::make_unique<typename TypeParam::State>();
  for (const std::size_t fixed : {std::size_t{1}, std::size_t{160}, std::size_t{0}}) {
    SCOPED_TRACE(fixed == 0 ? "random sizes, seed " + std::to_string(seed) : std::to_string(fixed) + " at a time");
    TypeParam::Init(*state);
    this->ExpectSame(this->Run(*state, samples,
                               [&] { return fixed != 0 ? fixed : std::uniform_int_distribution<std::size_t>(0, 700)(random); }),
                     whole);
  }
}

TYPED_TEST(DetectorContract, ACopyTakenMidStreamGoesOnAsTheOriginal) {
  const std::vector<std::int16_t> samples = TypeParam::Signal();
  const std::vector<Found> whole = this->Whole(samples);
  auto original = std::make_unique<typename TypeParam::State>();
  TypeParam::Init(*original);
  const std::size_t half = samples.size() / 2 + 77;
  typename TypeParam::Events first;
  TypeParam::Process(*original, samples.data(), half, first);
  auto copy = std::make_unique<typename TypeParam::State>(*original);
  const std::vector<std::int16_t> rest(samples.begin() + static_cast<std::ptrdiff_t>(half), samples.end());
  std::vector<Found> fromOriginal = first.found, fromCopy = first.found;
  const auto all = [&] { return rest.size(); };
  for (const Found& f : this->Run(*original, rest, all)) fromOriginal.push_back(f);
  for (const Found& f : this->Run(*copy, rest, all)) fromCopy.push_back(f);
  this->ExpectSame(fromOriginal, whole);
  this->ExpectSame(fromCopy, whole);
}

TYPED_TEST(DetectorContract, ResetGivesAFreshStart) {
  const std::vector<std::int16_t> samples = TypeParam::Signal();
  auto state = std::make_unique<typename TypeParam::State>();
  TypeParam::Init(*state);
  const auto all = [&] { return samples.size(); };
  const std::vector<Found> first = this->Run(*state, samples, all);
  TypeParam::Reset(*state);
  this->ExpectSame(this->Run(*state, samples, all), first);
}

TYPED_TEST(DetectorContract, EveryStartOffsetFindsTheSame) {
  const std::vector<std::int16_t> samples = TypeParam::OffsetSignal();
  const std::vector<Found> reference = this->Whole(samples);
  for (int offset = 1; offset < kUlawFrameBytes; offset += 3) {
    SCOPED_TRACE("offset " + std::to_string(offset));
    std::vector<std::int16_t> shifted(static_cast<std::size_t>(offset), 0);
    shifted.insert(shifted.end(), samples.begin(), samples.end());
    this->ExpectSame(this->Whole(shifted), reference, offset, TypeParam::kStartTolerance);
  }
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// A capture's stream makes a large state only once it has carried enough
// samples: the events are those of a state made at once, for a stream that
// ends before that point too.
TYPED_TEST(DetectorContract, DeferredStateGivesTheSameEvents) {
  const std::vector<std::int16_t> whole = TypeParam::Signal();
  for (const std::size_t length : {std::size_t{1000}, whole.size()}) {
    const std::vector<std::int16_t> samples(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    std::vector<Found> found[2];
    for (const bool defer : {false, true}) {
      DetectorSettings settings = TypeParam::kSettings;
      settings.deferLargeState = defer;
      AnyFound events;
      const std::unique_ptr<StreamDetector> detector = MakeStreamDetector(settings, events);
      for (std::size_t at = 0; at < samples.size(); at += 160) {
        detector->Samples(samples.data() + at, std::min<std::size_t>(160, samples.size() - at));
      }
      std::string error;
      detector->Finish(&error);
      found[defer] = settings.kind == DetectorKind::Dtmf ? events.keys.found : events.messages.found;
    }
    this->ExpectSame(found[0], found[1]);
    if (length == whole.size()) {
      EXPECT_FALSE(found[1].empty());
    }
  }
}

}  // namespace
}  // namespace quorvane
