// Signals and a collector for the robust DTMF detector's tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "codec/signal_gen.h"
#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/synth.h"
#include "dtmf/robust/detector.h"

namespace quorvane::testing {

struct KeyTones {
  double toneMs = 50.0;
  double gapMs = 50.0;
  double leadMs = 50.0;
  double levelDbm0 = -10.0;   // row tone
  double twistDb = 0.0;       // column minus row
  double freqOffset = 0.0;    // relative, both tones
};

// Linear samples (not yet rounded) of `keys` sent as in `k`, with silence after the last.
inline std::vector<double> KeySignal(const std::string& keys, const KeyTones& k) {
  std::vector<double> out(static_cast<std::size_t>(MsToSamples(k.leadMs)), 0.0);
  const double rowPeak = Dbm0ToPeak(k.levelDbm0);
  const double colPeak = Dbm0ToPeak(k.levelDbm0 + k.twistDb);
  for (char key : keys) {
    const int index = DtmfKeyIndex(key);
    const double wr = 2 * std::numbers::pi * DtmfRowFreqs[index / 4] * (1 + k.freqOffset) / 8000;
    const double wc = 2 * std::numbers::pi * DtmfColFreqs[index % 4] * (1 + k.freqOffset) / 8000;
    for (std::int64_t i = 0; i < MsToSamples(k.toneMs); ++i) {
      out.push_back(rowPeak * std::sin(wr * i) + colPeak * std::sin(wc * i + 1.0));
    }
    out.resize(out.size() + static_cast<std::size_t>(MsToSamples(k.gapMs)), 0.0);
  }
  out.resize(out.size() + 800, 0.0);
  return out;
}

// Adds Gaussian noise over 300-3400 Hz at `snrDb` below the dual tone of `k`.
inline void AddBandNoise(std::vector<double>& signal, const KeyTones& k, double snrDb, std::uint64_t seed) {
  constexpr int kTaps = 101;
  std::vector<double> taps(kTaps);
  for (int i = 0; i < kTaps; ++i) {
    const double t = i - (kTaps - 1) / 2.0;
    auto lowPass = [t](double f) { return t == 0 ? 2 * f : std::sin(2 * std::numbers::pi * f * t) / (std::numbers::pi * t); };
    const double hamming = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / (kTaps - 1));
    taps[i] = (lowPass(3400.0 / 8000) - lowPass(300.0 / 8000)) * hamming;
  }
  GaussianNoise white(seed);
  std::vector<double> raw(signal.size() + kTaps);
  for (double& v : raw) v = white.Next();
  std::vector<double> band(signal.size());
  double power = 0;
  for (std::size_t i = 0; i < band.size(); ++i) {
    for (int j = 0; j < kTaps; ++j) band[i] += taps[j] * raw[i + j];
    power += band[i] * band[i];
  }
  power /= static_cast<double>(band.size());
  const double rowPeak = Dbm0ToPeak(k.levelDbm0);
  const double colPeak = Dbm0ToPeak(k.levelDbm0 + k.twistDb);
  const double tonePower = (rowPeak * rowPeak + colPeak * colPeak) / 2;
  const double gain = std::sqrt(tonePower / std::pow(10.0, snrDb / 10) / power);
  for (std::size_t i = 0; i < signal.size(); ++i) signal[i] += gain * band[i];
}

// Adds a sine of `freq` Hz whose power is `overDb` above the dual tone of `k`.
inline void AddInterferer(std::vector<double>& signal, const KeyTones& k, double freq, double overDb) {
  const double rowPeak = Dbm0ToPeak(k.levelDbm0);
  const double colPeak = Dbm0ToPeak(k.levelDbm0 + k.twistDb);
  const double peak = std::sqrt((rowPeak * rowPeak + colPeak * colPeak) * std::pow(10.0, overDb / 10));
  for (std::size_t i = 0; i < signal.size(); ++i) signal[i] += peak * std::sin(2 * std::numbers::pi * freq * i / 8000);
}

inline std::vector<std::int16_t> ToSamples(const std::vector<double>& signal) {
  std::vector<std::int16_t> out(signal.size());
  for (std::size_t i = 0; i < signal.size(); ++i) {
    out[i] = static_cast<std::int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, signal[i]))));
  }
  return out;
}

// Runs the detector over `samples` at once.
inline std::vector<DtmfKeyEvent> RobustEvents(const std::vector<std::int16_t>& samples) {
  DtmfKeyList events;
  RobustDtmfDetector detector;
  RobustDtmfInit(detector, {});
  RobustDtmfProcess(detector, samples.data(), samples.size(), events);
  RobustDtmfFinish(detector, events);
  return events.keys;
}

inline std::string Digits(const std::vector<DtmfKeyEvent>& events) {
  std::string digits;
  for (const auto& e : events) digits.push_back(e.key);
  return digits;
}

}  // namespace quorvane::testing
