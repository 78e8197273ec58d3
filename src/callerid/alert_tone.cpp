#include "callerid/alert_tone.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace quorvane {
namespace {

constexpr double kToneHz[2] = {2130.0, 2750.0};
constexpr int kMinBlocks = 5;           // 50 ms: the shortest alert is 75 ms
constexpr float kMinPurity = 0.6f;      // share of the block's energy the two tones must hold
constexpr float kMinShare = 0.12f;      // share each tone must hold (twist within about 6 dB)
constexpr float kMinPeakSquared = 30.0f * 30.0f;  // about -57.6 dBm0 per tone
constexpr double kMilliwattPeakSquared = 22700.0 * 22700.0;

double Dbm0(double peakSquared) { return 10.0 * std::log10(peakSquared / kMilliwattPeakSquared); }

}  // namespace

void AlertToneInit(AlertToneDetector& d) {
  std::memset(&d, 0, sizeof d);
  for (int k = 0; k < 2; ++k) {
    d.coefficient[k] = static_cast<float>(2.0 * std::cos(2.0 * std::numbers::pi * kToneHz[k] / 8000.0));
  }
}

bool AlertToneEndBlock(AlertToneDetector& d, AlertTone& alert) {
  bool ended = false;
  // |X|^2 of a tone of peak A over N samples is (A N / 2)^2.
  float peakSquared[2];
  for (int k = 0; k < 2; ++k) {
    const float s1 = d.state[k][0], s2 = d.state[k][1];
    const float power = s1 * s1 + s2 * s2 - d.coefficient[k] * s1 * s2;
    peakSquared[k] = 4.0f * power / (kAlertBlock * kAlertBlock);
  }
  // A tone of peak A carries A^2 N / 2 of the block's energy.
  const float toneEnergy[2] = {peakSquared[0] * kAlertBlock / 2.0f, peakSquared[1] * kAlertBlock / 2.0f};
  const float energy = d.blockEnergy > 0.0f ? d.blockEnergy : 1.0f;
  const bool hit = toneEnergy[0] + toneEnergy[1] >= kMinPurity * energy && toneEnergy[0] >= kMinShare * energy &&
                   toneEnergy[1] >= kMinShare * energy && peakSquared[0] >= kMinPeakSquared &&
                   peakSquared[1] >= kMinPeakSquared;
  // A tone filling a share f of a block shows f^2 of its squared peak;
  // the blocks either side of a run give its edges within the block.
  const float tones = peakSquared[0] + peakSquared[1];
  if (hit) {
    if (d.runBlocks == 0) {
      d.runStart = d.blockStart;
      d.runLow = d.runHigh = 0.0;
      d.leadShare = std::fmin(1.0f, std::sqrt(d.lastBlockTones / tones));
    }
    ++d.runBlocks;
    d.runLow += peakSquared[0];
    d.runHigh += peakSquared[1];
  } else {
    if (d.runBlocks >= kMinBlocks) {
      const double low = d.runLow / d.runBlocks, high = d.runHigh / d.runBlocks;
      const double trailShare = std::fmin(1.0, std::sqrt(tones / (low + high)));
      const auto lead = std::lround(d.leadShare * kAlertBlock);
      const auto trail = std::lround(trailShare * kAlertBlock);
      alert = {d.runStart - lead, static_cast<std::int64_t>(d.runBlocks) * kAlertBlock + lead + trail, Dbm0(low),
               Dbm0(high), Dbm0(low + high)};
      ended = true;
    }
    d.runBlocks = 0;
  }
  d.lastBlockTones = tones;
  std::memset(d.state, 0, sizeof d.state);
  d.blockEnergy = 0.0f;
  d.blockFill = 0;
  d.blockStart = d.sample;
  return ended;
}

}  // namespace quorvane
