// The gate in front of the robust receiver: open on bursts in both plans,
// also under white noise and loud hum, shut on noise alone, low tones and
// hiss.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "callerid/robust/fsk_gate.h"
#include "callerid/synth.h"

namespace quorvane {
namespace {

constexpr int kChunk = 256;
constexpr double kPeak = 5083.0;  // -13 dBm0

std::vector<double> Burst(double markHz, double spaceHz) {
  std::vector<bool> bits;
  std::uint32_t seed = 1;
  for (int i = 0; i < 60; ++i) AppendFskCharacter(bits, static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24));
  std::vector<double> x;
  ModulateFsk(bits, markHz, spaceHz, kPeak, [&](double v) { x.push_back(v); });
  return x;
}

void AddNoise(std::vector<double>& x, double rms) {
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, rms);
  for (double& v : x) v += noise(random);
}

void AddTone(std::vector<double>& x, double hz, double peak) {
  for (std::size_t n = 0; n < x.size(); ++n) x[n] += peak * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / 8000.0);
}

// The share of whole chunks the gate lets through.
double ShareThrough(const std::vector<double>& x) {
  FskGate gate;
  FskGateInit(gate);
  int through = 0, chunks = 0;
  for (std::size_t at = 0; at + kChunk <= x.size(); at += kChunk, ++chunks) {
    FskGateRun run(gate);
    for (int i = 0; i < kChunk; ++i) run.Add(static_cast<float>(std::lround(std::clamp(x[at + i], -32767.0, 32767.0))));
    run.End();
    through += FskGateEndChunk(gate) ? 1 : 0;
  }
  return static_cast<double>(through) / chunks;
}

TEST(FskGate, OpenOnBurstsShutOnTheRest) {
  const double toneRms = kPeak / std::sqrt(2.0);
  struct Row {
    const char* name;
    std::vector<double> signal;
    bool open;  // most chunks through, or hardly any
  };
  std::vector<Row> rows;
  rows.push_back({"Bell 202", Burst(1200, 2200), true});
  rows.push_back({"V.23", Burst(1300, 2100), true});
  rows.push_back({"Bell 202 at -55 dBm0", Burst(1200, 2200), true});
  for (double& v : rows.back().signal) v *= std::pow(10.0, -42.0 / 20.0);
  rows.push_back({"Bell 202, white noise at 4 dB SNR", Burst(1200, 2200), true});
  AddNoise(rows.back().signal, toneRms * std::pow(10.0, -4.0 / 20.0));
  rows.push_back({"V.23, hum 10 dB over it", Burst(1300, 2100), true});
  for (double hz : {50.0, 150.0, 250.0}) AddTone(rows.back().signal, hz, kPeak * 3.16 / std::sqrt(3.0));
  rows.push_back({"white noise", std::vector<double>(48000, 0.0), false});
  AddNoise(rows.back().signal, toneRms);
  rows.push_back({"a 400 Hz tone", std::vector<double>(48000, 0.0), false});
  AddTone(rows.back().signal, 400, kPeak);
  rows.push_back({"a 3300 Hz tone", std::vector<double>(48000, 0.0), false});
  AddTone(rows.back().signal, 3300, kPeak);
  rows.push_back({"silence", std::vector<double>(48000, 0.0), false});
  for (const Row& row : rows) {
    const double share = ShareThrough(row.signal);
    if (row.open) {
      EXPECT_GE(share, 0.7) << row.name;
    } else {
      EXPECT_LE(share, 0.01) << row.name;
    }
  }
}

}  // namespace
}  // namespace quorvane
