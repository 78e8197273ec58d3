// The robust caller-ID receiver's decisions, pinned: every message (edges,
// plan, type, number, name, level), the rejected count and the alerting
// tones on graded recordings and on bursts among chords and loud noise,
// where the bursts are read again. Work that only makes the receiver
// faster must leave decisions.txt as it is; bench/quality/callerid-decisions
// pins the same over the whole quality set and speech.
// QUORVANE_UPDATE_DECISIONS=1 rewrites the file after a change made on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "callerid/synth.h"
#include "callerid/robust/receiver.h"

namespace quorvane {
namespace {

std::string Decisions(const std::vector<std::int16_t>& samples) {
  CallerIdEventList seen;
  auto receiver = std::make_unique<RobustCallerIdReceiver>();
  RobustCallerIdInit(*receiver, {});
  RobustCallerIdProcess(*receiver, samples.data(), samples.size(), seen);
  RobustCallerIdFinish(*receiver, seen);
  std::string out;
  char line[256];
  for (const CallerIdMessageEvent& m : seen.messages) {
    std::snprintf(line, sizeof line, " [%lld-%lld %s %s %s \"%s\" %.2f]", static_cast<long long>(m.start),
                  static_cast<long long>(m.end), m.plan == TonePlan::V23 ? "v23" : "bell202",
                  CallerIdTypeName(m.info.type), m.info.number.c_str(), m.info.name.c_str(), m.levelDbm0.value_or(0.0));
    out += line;
  }
  std::snprintf(line, sizeof line, " rejected %d alerts %zu", RobustCallerIdRejected(*receiver), seen.alerts.size());
  return out + line;
}

std::vector<std::int16_t> Synth(CallerIdSynthOptions o) {
  o.number = "5551234567";
  o.name = "QUORVANE TEST";
  std::vector<std::int16_t> samples;
  std::string error;
  CallerIdSamples(o, &samples, &error);
  EXPECT_EQ(error, "");
  return samples;
}

// Twenty seconds of `background` with a burst (v23 when `v23`) at 4 s and
// one at 13 s, at -13 dBm0: chords turning every quarter second, or white
// noise about 5 dB under the tone, loud enough to open many starts.
enum class Background { Chords, Noise };
std::vector<std::int16_t> Busy(Background background, bool v23, unsigned seed) {
  std::vector<double> x(20 * 8000);
  std::mt19937 rnd(seed);
  if (background == Background::Chords) {
    const double notes[] = {220, 262, 330, 392, 440, 523, 659, 784, 880, 1047, 1175, 1319, 1568, 2093, 2349};
    for (std::size_t start = 0; start < x.size(); start += 2000) {
      double f[3];
      for (double& v : f) v = notes[rnd() % std::size(notes)];
      for (std::size_t n = 0; n < 2000; ++n) {
        const double t = static_cast<double>(n) / 8000.0;
        for (double v : f) x[start + n] += 1500.0 * std::sin(2.0 * std::numbers::pi * v * t + 3.0 * std::sin(12.0 * t));
      }
    }
  } else {
    std::normal_distribution<double> noise(0.0, 2000.0);
    for (double& v : x) v = noise(rnd);
  }
  CallerIdSynthOptions o;
  o.plan = v23 ? TonePlan::V23 : TonePlan::Bell202;
  o.levelDbm0 = -13.0;
  o.leadMs = o.trailMs = 0.0;
  const std::vector<std::int16_t> burst = Synth(o);
  for (const std::size_t at : {4 * 8000, 13 * 8000}) {
    for (std::size_t n = 0; n < burst.size(); ++n) x[at + n] += burst[n];
  }
  std::vector<std::int16_t> out;
  for (double v : x) out.push_back(static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))));
  return out;
}

TEST(RobustCallerIdDecisions, StayAsPinned) {
  struct Row {
    const char* label;
    CallerIdSynthOptions options;
  };
  const auto with = [](auto change) {
    CallerIdSynthOptions o;
    change(o);
    return o;
  };
  const Row rows[] = {
      {"-45 dBm0", with([](auto& o) { o.levelDbm0 = -45.0; })},
      {"-55 dBm0", with([](auto& o) { o.levelDbm0 = -55.0; })},
      {"6 dB SNR", with([](auto& o) { o.snrDb = 6.0; })},
      {"4 dB SNR", with([](auto& o) { o.snrDb = 4.0; })},
      {"2 dB SNR", with([](auto& o) { o.snrDb = 2.0; })},
      {"-2% frequency", with([](auto& o) { o.freqOffsetPercent = -2.0; })},
      {"6 dB SNR, half a bit off the clock", with([](auto& o) { o.snrDb = 6.0, o.messageDelayBits = 0.5; })},
      {"15 idle bits", with([](auto& o) { o.idleBits = 15; })},
      {"6 dB SNR, -1.5%, 10 idle bits", with([](auto& o) { o.snrDb = 6.0, o.freqOffsetPercent = -1.5, o.idleBits = 10; })},
  };
  std::ostringstream got;
  for (const Row& row : rows) {
    for (const TonePlan plan : {TonePlan::Bell202, TonePlan::V23}) {
      for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        CallerIdSynthOptions o = row.options;
        o.plan = plan;
        o.seed = seed;
        got << row.label << (plan == TonePlan::V23 ? " v23 " : " bell202 ") << seed << ":" << Decisions(Synth(o)) << "\n";
      }
    }
  }
  for (const Background background : {Background::Chords, Background::Noise}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      got << (background == Background::Chords ? "chords " : "noise ") << seed << ":"
          << Decisions(Busy(background, seed == 2, seed)) << "\n";
    }
  }

  const std::filesystem::path pinned = std::filesystem::path(__FILE__).parent_path() / "decisions.txt";
  if (std::getenv("QUORVANE_UPDATE_DECISIONS")) std::ofstream(pinned) << got.str();
  std::ifstream in(pinned);
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(got.str(), expected.str());
}

}  // namespace
}  // namespace quorvane
