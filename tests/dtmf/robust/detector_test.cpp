#include "dtmf/robust/detector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <numbers>

#include "dtmf/robust_dtmf_signals.h"
#include "support/run_process.h"

namespace quorvane {
namespace {

using testing::Digits;
using testing::KeySignal;
using testing::KeyTones;
using testing::RobustEvents;
using testing::ToSamples;

const std::string kAllKeys = "123A456B789C*0#D";

std::string Detect(const std::string& keys, const KeyTones& k) {
  return Digits(RobustEvents(ToSamples(KeySignal(keys, k))));
}

struct FrequencyCase {
  double offset;
  bool accepted;
};

class RobustFrequency : public ::testing::TestWithParam<FrequencyCase> {};

TEST_P(RobustFrequency, AcceptsWithinOnePointFiveAndRejectsFromThreePointFivePercent) {
  KeyTones k;
  k.freqOffset = GetParam().offset;
  EXPECT_EQ(Detect(kAllKeys, k), GetParam().accepted ? kAllKeys : "");
}

INSTANTIATE_TEST_SUITE_P(Table, RobustFrequency,
                         ::testing::Values(FrequencyCase{0.0, true}, FrequencyCase{0.015, true},
                                           FrequencyCase{-0.015, true}, FrequencyCase{0.035, false},
                                           FrequencyCase{-0.035, false}, FrequencyCase{0.05, false},
                                           FrequencyCase{-0.05, false}));

struct DurationCase {
  double toneMs;
  bool accepted;
};

class RobustDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(RobustDuration, RefusesTwentyMillisecondsAndFindsThirty) {
  KeyTones k;
  k.toneMs = GetParam().toneMs;
  const auto events = RobustEvents(ToSamples(KeySignal("159D", k)));
  ASSERT_EQ(Digits(events), GetParam().accepted ? "159D" : "");
  for (const auto& e : events) EXPECT_NEAR(e.duration, MsToSamples(k.toneMs), 8);
}

INSTANTIATE_TEST_SUITE_P(Table, RobustDuration,
                         ::testing::Values(DurationCase{10, false}, DurationCase{15, false}, DurationCase{20, false},
                                           DurationCase{30, true}, DurationCase{40, true}, DurationCase{60, true},
                                           DurationCase{200, true}));

struct GapCase {
  double gapMs;
  std::string digits;
};

class RobustGap : public ::testing::TestWithParam<GapCase> {};

// Two 60 ms bursts of one key (the phase restarts after the gap).
TEST_P(RobustGap, BridgesDropOutsAndSeparatesPresses) {
  KeyTones k;
  k.toneMs = 60;
  k.gapMs = GetParam().gapMs;
  EXPECT_EQ(Detect("55", k), GetParam().digits);
}

INSTANTIATE_TEST_SUITE_P(Table, RobustGap,
                         ::testing::Values(GapCase{2, "5"}, GapCase{5, "5"}, GapCase{10, "5"}, GapCase{40, "55"},
                                           GapCase{60, "55"}));

class RobustStartOffset : public ::testing::TestWithParam<int> {};

// Every alignment of the tones against the detector's sub-blocks.
TEST_P(RobustStartOffset, RefusesTwentyMillisecondsAndFindsThirty) {
  KeyTones k;
  k.leadMs = 50.0 + GetParam() / 8.0;
  k.toneMs = 20;
  EXPECT_EQ(Detect("159D", k), "");
  k.toneMs = 30;
  EXPECT_EQ(Detect("159D", k), "159D");
}

INSTANTIATE_TEST_SUITE_P(EverySample, RobustStartOffset, ::testing::Range(0, 160));

TEST(RobustDtmf, AKeyHeldThreeSecondsIsOneDigitWithItsDuration) {
  KeyTones k;
  k.toneMs = 3000;
  const auto events = RobustEvents(ToSamples(KeySignal("7", k)));
  ASSERT_EQ(Digits(events), "7");
  EXPECT_EQ(events[0].start, MsToSamples(k.leadMs));
  EXPECT_NEAR(events[0].duration, 24000, 8);
}

struct LevelCase {
  double levelDbm0;
  double twistDb;
  bool accepted;
};

class RobustLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(RobustLevel, ReportsLevelsAndTwistWithinOneDecibel) {
  KeyTones k;
  k.levelDbm0 = GetParam().levelDbm0;
  k.twistDb = GetParam().twistDb;
  const auto events = RobustEvents(ToSamples(KeySignal("159D", k)));
  ASSERT_EQ(Digits(events), GetParam().accepted ? "159D" : "");
  for (const auto& e : events) {
    EXPECT_NEAR(e.measures->lowLevel, k.levelDbm0, 1.0);
    EXPECT_NEAR(e.measures->highLevel, k.levelDbm0 + k.twistDb, 1.0);
    EXPECT_NEAR(e.measures->twist, k.twistDb, 1.0);
    EXPECT_GT(e.measures->snr, 30.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, RobustLevel,
                         ::testing::Values(LevelCase{-3, 0, true}, LevelCase{-20, 0, true}, LevelCase{-40, 0, true},
                                           LevelCase{-45, 0, true}, LevelCase{-58, 0, false},
                                           LevelCase{-10, -8, true}, LevelCase{-10, 4, true},
                                           LevelCase{-10, 8, true}, LevelCase{-10, -14, false},
                                           LevelCase{-10, 14, false}));

TEST(RobustDtmf, FindsEveryKeyAtSixDecibelsSnr) {
  for (std::uint64_t seed : {1, 2, 3}) {
    KeyTones k;
    k.toneMs = 40;
    std::vector<double> signal = KeySignal(kAllKeys, k);
    testing::AddBandNoise(signal, k, 6.0, seed);
    const auto events = RobustEvents(ToSamples(signal));
    EXPECT_EQ(Digits(events), kAllKeys) << "noise seed " << seed;
    for (const auto& e : events) EXPECT_NEAR(e.measures->snr, 6.0, 4.0) << "noise seed " << seed;
  }
}

struct NoiseCase {
  double snrDb;
  std::uint64_t seed;
  double toneMs;
  std::size_t minKeys;
};

class RobustNoise : public ::testing::TestWithParam<NoiseCase> {};

// The SNR read back holds within 2 dB of the one made.
TEST_P(RobustNoise, FindsKeysAndReadsTheirSnr) {
  KeyTones k;
  k.toneMs = GetParam().toneMs;
  std::vector<double> signal = KeySignal(kAllKeys, k);
  testing::AddBandNoise(signal, k, GetParam().snrDb, GetParam().seed);
  const auto events = RobustEvents(ToSamples(signal));
  EXPECT_GE(events.size(), GetParam().minKeys);
  for (const auto& e : events) EXPECT_NEAR(e.measures->snr, GetParam().snrDb, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Table, RobustNoise,
                         ::testing::Values(NoiseCase{30, 1, 100, 16}, NoiseCase{20, 2, 100, 16},
                                           NoiseCase{10, 3, 100, 16}, NoiseCase{6, 4, 50, 16},
                                           NoiseCase{3, 5, 100, 16}, NoiseCase{3, 1, 100, 16},
                                           NoiseCase{0, 1, 100, 16}, NoiseCase{0, 2, 50, 16},
                                           NoiseCase{0, 3, 50, 16}, NoiseCase{0, 4, 50, 16},
                                           NoiseCase{0, 5, 50, 16}));

struct InterfererCase {
  double freq;     // Hz; 0: none
  double overDb;   // its power over the dual tone
  double levelDbm0;  // of each key tone; above +3 the dual tone clips
};

class RobustInterferer : public ::testing::TestWithParam<InterfererCase> {};

TEST_P(RobustInterferer, FindsEveryKey) {
  KeyTones k;
  k.levelDbm0 = GetParam().levelDbm0;
  std::vector<double> signal = KeySignal(kAllKeys, k);
  if (GetParam().freq > 0) testing::AddInterferer(signal, k, GetParam().freq, GetParam().overDb);
  EXPECT_EQ(Digits(RobustEvents(ToSamples(signal))), kAllKeys);
}

INSTANTIATE_TEST_SUITE_P(Table, RobustInterferer,
                         ::testing::Values(InterfererCase{2400, 6, -10}, InterfererCase{2600, 6, -10},
                                           InterfererCase{3000, 6, -10}, InterfererCase{1000, 6, -10},
                                           InterfererCase{1100, 10, -20}, InterfererCase{0, 0, 3},
                                           InterfererCase{0, 0, 6}));

// The steady tone is followed through line noise as well.
TEST(RobustDtmf, KeysUnderASteadyToneInNoiseAreFound) {
  KeyTones k;
  std::vector<double> signal = KeySignal(kAllKeys, k);
  testing::AddInterferer(signal, k, 1000, 6);
  testing::AddBandNoise(signal, k, 20, 1);
  EXPECT_EQ(Digits(RobustEvents(ToSamples(signal))), kAllKeys);
}

// A steady tone taken off the line stops in the pause after the eighth
// key: the keys after it are not judged against one no longer there.
TEST(RobustDtmf, KeysAfterASteadyToneStopsAreFound) {
  KeyTones k;
  std::vector<double> signal = KeySignal(kAllKeys, k);
  std::vector<double> tone(signal.size(), 0.0);
  testing::AddInterferer(tone, k, 1000, 6);
  const auto stop = static_cast<std::size_t>(MsToSamples(k.leadMs + 8 * (k.toneMs + k.gapMs) - k.gapMs / 2));
  for (std::size_t i = 0; i < stop; ++i) signal[i] += tone[i];
  EXPECT_EQ(Digits(RobustEvents(ToSamples(signal))), kAllKeys);
}

// Tone-like signals that are not DTMF: pure tones at and between the key
// frequencies, a slow sweep, sine duets a key's interval apart but off the
// keypad, and chords of notes rich in harmonics.
std::vector<std::int16_t> NotDtmf() {
  std::vector<double> out;
  const auto add = [&out](double seconds, auto sample) {
    const int n = static_cast<int>(seconds * 8000);
    for (int i = 0; i < n; ++i) out.push_back(sample(i / 8000.0));
  };
  const double twoPi = 2 * std::numbers::pi;
  for (double f : {697.0, 770.0, 852.0, 941.0, 1000.0, 1209.0, 1336.0, 1477.0, 1633.0}) {
    for (double dbm0 : {0.0, -20.0}) {
      const double a = Dbm0ToPeak(dbm0);
      add(0.5, [&](double t) { return a * std::sin(twoPi * f * t); });
    }
  }
  // 300 to 3400 Hz in 20 s: the phase is the integral of the frequency.
  add(20.0, [&](double t) { return 8000 * std::sin(twoPi * (300 * t + 155.0 / 2 * t * t)); });
  for (double low : {400.0, 550.0, 660.0, 1100.0}) {
    for (double ratio : {1209.0 / 697, 1336.0 / 770, 1477.0 / 852, 1633.0 / 941}) {
      add(0.3, [&](double t) { return 6000 * (std::sin(twoPi * low * t) + std::sin(twoPi * low * ratio * t)); });
    }
  }
  for (double root : {220.0, 261.6, 293.7, 349.2, 392.0, 440.0}) {
    add(0.4, [&](double t) {
      double v = 0;
      for (double step : {1.0, 1.2599, 1.4983}) {
        for (int h = 1; h <= 6; ++h) v += 2500.0 / h * std::sin(twoPi * root * step * h * t);
      }
      return v;
    });
  }
  return ToSamples(out);
}

TEST(RobustDtmf, TonesSweepsDuetsAndChordsMakeNoDigit) { EXPECT_EQ(Digits(RobustEvents(NotDtmf())), ""); }

// Speech in several voices, languages and rates, made now by espeak-ng and
// brought to 8000 samples/s by sox.
TEST(RobustDtmf, SpeechMakesNoDigit) {
  if (std::system("command -v espeak-ng >/dev/null 2>&1 && command -v sox >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "espeak-ng and sox are needed to make speech";
  }
  const char* text =
      "Please call me back at your earliest convenience; my number is five five five, one two three four. "
      "The quick brown fox jumps over the lazy dog, and then it runs back into the forest.";
  std::vector<std::int16_t> speech;
  for (const char* voice : {"en-us", "en-gb+f3", "de+m3", "fr-fr+f2", "es", "it+m1"}) {
    for (const char* rate : {"130", "220"}) {
      const auto r = testing::RunProcess({"/bin/sh", "-c",
                                          std::string("espeak-ng -v ") + voice + " -s " + rate + " --stdout '" + text +
                                              "' | sox -t wav - -t raw -r 8000 -e signed -b 16 -c 1 -"});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      const std::size_t n = r.out.size() / 2;
      const std::size_t at = speech.size();
      speech.resize(at + n);
      std::memcpy(speech.data() + at, r.out.data(), n * 2);
    }
  }
  ASSERT_GT(speech.size(), 8000u * 60);
  const auto events = RobustEvents(speech);
  EXPECT_EQ(Digits(events), "");
}

}  // namespace
}  // namespace quorvane
