#include "dtmf/robust/detector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace quorvane {
namespace {

constexpr int kH = kRobustDtmfSubBlock;
constexpr int kN = kRobustDtmfWindow;
constexpr double kRate = 8000.0;
constexpr double kNominal[8] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};
constexpr char kKeys[17] = "123A456B789C*0#D";

// Over the whole tone a tone must beat every other tone of its group by this
// power ratio (8 dB); windows of 20 ms keep the neighbours' leakage near
// -13 dB and below. The noise floor (the mean of the group's other bins) is
// taken off first, so broadband noise does not make two tones of one group.
constexpr float kDominance = 6.3f;
// A single window only has to show the key (4 dB): at 0 dB SNR a bin of noise
// beats a quarter of the tone's power in one window out of a hundred.
constexpr float kSeedDominance = 2.5f;
// The decisions on energy look only at the key band, 600-1750 Hz (a
// second-order high-pass and a fourth-order low-pass): hum, signalling tones
// at 2400-3000 Hz and the harmonics of clipping stay out of it, and only a
// third of the line's broadband noise falls in it.
constexpr double kBandLow = 600.0;
constexpr double kBandHigh = 1750.0;
// The two tones must hold this share of the window's band energy: 0.9 at
// 6 dB SNR, 0.55 at -3 dB; speech and music spread theirs over many components.
constexpr float kMinEnergyShare = 0.4f;
// Over the whole tone the share must reach 0.75 (about 2 dB SNR): the most
// tone-like vowels reach 0.6 in single stretches.
constexpr double kMinToneEnergyShare = 0.75;
// Down to 0.55 (below 0 dB SNR) a tone passes that looks like a generator's
// all through: steady, on its frequencies within 0.8 %, with little twist
// (from the powers summed over the tone, which noise moves less than its
// peaks); the vowels and notes that reach such shares wander, waver or
// tilt. At 0 dB SNR the floor taken off the sub-block powers is itself
// noisy: a steady tone reads up to 1.25 times coherent.
constexpr double kMinNoisyShare = 0.55;
constexpr double kNoisyCoherence = 0.85;
constexpr double kNoisyMaxCoherence = 1.25;
constexpr double kNoisyFreqError = 0.008;
constexpr float kNoisyTwistDb = 3.0f;
// And below the full share what is not the key must look like line noise: noise over 300-3400 Hz
// leaves about 1.8 times as much outside the key band as inside (up to 2.9
// over a 50 ms tone at 0 dB SNR); a voice leaves more, below the band.
constexpr double kMaxOutOfBand = 2.95;
// Tones shorter than 40 ms, judged on one or two windows, must look like a
// generator's too: single syllables reach the full share that briefly.
constexpr std::int64_t kMinPlainToneSamples = 320;
// Below 3 dB SNR even a tone with the full share must sit on its
// frequencies as a generator's does: a vowel can fill the key band that
// well while most of its energy lies below it.
constexpr float kMinPlainSnr = 3.0f;
// A window reaching this peak has been clipped: its intermodulation products
// may pose as a voice's harmonic series.
constexpr int kClipPeak = 32000;
// Weakest tone followed (-50 dBm0 as a peak amplitude), below the -45 aimed at.
constexpr float kMinPeak = 22700.0f * 0.0031623f;
// Twist bounds: loose per window (offset loss, noise), tight over the tone.
constexpr float kWindowTwistDb = 12.0f;
constexpr float kToneTwistDb = 8.5f;
// Past 6 dB the weaker tone of a key below 10 dB SNR stands little above
// what surrounds it: held notes of two instruments, one louder, pose as such.
constexpr float kLopsidedTwistDb = 6.0f;
constexpr float kLopsidedMinSnr = 10.0f;
// Frequency error: a window far off is no candidate; the tone's average error
// decides between the accepted 1.5 % and the rejected 3.5 %.
constexpr double kWindowFreqError = 0.04;
constexpr double kToneFreqError = 0.019;
// A second harmonic above -12 dB of its tone (and clearly above the noise
// floor) marks speech or an instrument. It is judged on the sums over the
// tone's candidate windows; a single window vetoes only one further above
// the floor, since at 0 dB SNR a bin of line noise passes 4x the floor in
// one window out of 20 and stays there over overlapping windows.
constexpr float kMaxHarmonic = 0.063f;
constexpr float kHarmonicOverFloor = 6.0f;
constexpr float kWindowHarmonicOverFloor = 8.0f;
// Far above its tone it is no harmonic but a signalling tone (2400 Hz sits
// 18 Hz from 1209 Hz's); voices fall off faster than that.
constexpr float kMaxInterferer = 4.0f;
// A neighbour of the harmonic series above -6 dB of the weaker tone marks a
// voice (nine in ten of the neighbours that speech shows stand above -2 dB;
// a note of music under a key is often weaker); below 400 Hz the harmonics
// of mains hum could pose as one (the partner above the key still guards).
constexpr float kMaxSeriesNeighbour = 0.25f;
constexpr double kMinSeriesProbe = 150.0;
// Noise alone must not pass for a neighbour: two probes per window, each
// exceeding 8x its mean power once in 3000.
constexpr float kSeriesOverFloor = 8.0f;
// A sub-block holds the tone while its tone power is above a quarter of the
// tone's reference (half the amplitude).
constexpr float kPresentShare = 0.25f;
// Sub-blocks without the tone that end it: 30 ms, so drop-outs of 10 ms are
// bridged and a 40 ms pause always separates two presses.
constexpr int kEndAbsentBlocks = 6;
// A followed tone whose power rises by more than this (12 dB; a window the
// tone only starts in already holds a sixteenth) starts anew.
constexpr float kRestartRise = 16.0f;
// So does a candidate window sharing no sub-block with the last one when
// those before were at most two: a blip too short to report.
constexpr int kBlipWindows = 2;
// Windows without a candidate that end a tone whose energy stays (speech over it).
constexpr int kEndMisses = 12;
// Bounds of the ratio of coherent to sub-block power once the noise floor is
// taken off both (1 for a steady tone).
constexpr double kMinCoherence = 0.7;
// Windows inside a tone that must each show the key on their own.
constexpr double kMinCandidateShare = 0.25;
constexpr double kMaxCoherence = 1.2;
// Shortest tone reported: 25 ms, between the 20 ms refused and the 30 ms aimed at.
constexpr std::int64_t kMinToneSamples = 200;
// A window whose fitted tone energy reaches this share of the largest is
// filled by the tone (noise at 0 dB SNR moves it by a tenth or so).
constexpr float kFilledWindow = 0.7f;
// Samples a window may reach past a tone's estimated edge and still count as inside it.
constexpr std::int64_t kFillSlack = 5;

// A steady tone is followed from a sub-block of at least -40 dBm0 in and
// around the key band that one sinusoid explains to 2 % of its energy (what a
// two-zero notch at its frequency leaves), and no nearer than 4 % to a key
// frequency (a key's own tone is never taken off). It is taken off once
// kRobustDtmfSteadyBlocks sub-blocks in a row showed it within 4 Hz.
constexpr float kSteadyMinEnergy = 1.0e6f;
// Beyond the key band's edges the filter's slopes still let a strong tone in.
constexpr double kSteadyLow = 450.0;
constexpr double kSteadyHigh = 2300.0;
constexpr double kSteadyResidual = 0.02;
constexpr double kSteadyKeyDistance = 0.04;
constexpr double kSteadyDrift = 2.0 * std::numbers::pi * 4.0 / kRate;
// While taken off: the sub-blocks where no key is followed mend its
// amplitude, phase and frequency, those where nothing else sounds (what is
// left 17 dB below it) the most; once the line holds less than a tenth of its power at its
// frequency it has stopped.
constexpr float kSteadyQuiet = 0.02f;
constexpr float kSteadyGone = 0.1f;
constexpr float kSteadyMend = 0.5f;
constexpr float kSteadyMendBusy = 0.25f;
constexpr std::int32_t kSteadyLongestUnmended = 1 << 20;

struct ProbeTable {
  float coef[8];        // 2 cos(w)
  float cosW[8], sinW[8];
  float alignRe[8], alignIm[8];  // exp(-j w (H - 1)): Goertzel output to the block's start
  float rotRe[kRobustDtmfWindowBlocks][8], rotIm[kRobustDtmfWindowBlocks][8];  // exp(-j w q H)
  double omegaH[8];       // w H, the phase one hop advances at the nominal frequency
  float bandB[3][3], bandA[3][2];  // the key band's filter: high-pass, then two low-pass sections
  float bandGain[8];      // its power gain at each key frequency
  // Per key, the inverse Gram matrix of the window's four sinusoids
  // (cos and sin of the row, then of the column tone): the least-squares
  // fit of the two tones from their window spectra.
  double fitInverse[16][4][4];
};

void InvertFour(double (&m)[4][4], double (&inv)[4][4]) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) inv[i][j] = i == j ? 1.0 : 0.0;
  }
  for (int c = 0; c < 4; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 4; ++r) {
      if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
    }
    std::swap(m[c], m[pivot]);
    std::swap(inv[c], inv[pivot]);
    const double scale = 1.0 / m[c][c];
    for (int j = 0; j < 4; ++j) {
      m[c][j] *= scale;
      inv[c][j] *= scale;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double f = m[r][c];
      for (int j = 0; j < 4; ++j) {
        m[r][j] -= f * m[c][j];
        inv[r][j] -= f * inv[c][j];
      }
    }
  }
}

void MakeFitInverse(double (&inv)[4][4], int row, int col) {
  const double w[2] = {2.0 * std::numbers::pi * kNominal[row] / kRate, 2.0 * std::numbers::pi * kNominal[col] / kRate};
  double gram[4][4] = {};
  for (int n = 0; n < kN; ++n) {
    const double b[4] = {std::cos(w[0] * n), std::sin(w[0] * n), std::cos(w[1] * n), std::sin(w[1] * n)};
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) gram[i][j] += b[i] * b[j];
    }
  }
  InvertFour(gram, inv);
}

// One second-order section (bilinear transform of the analogue prototype
// with quality `q` at `f0`).
void Section(ProbeTable& t, int s, double f0, double q, bool highPass) {
  const double w0 = 2.0 * std::numbers::pi * f0 / kRate;
  const double alpha = std::sin(w0) / (2.0 * q);
  const double c = std::cos(w0);
  const double a0 = 1.0 + alpha;
  const double b0 = (highPass ? (1.0 + c) : (1.0 - c)) / 2.0;
  const double b1 = highPass ? -(1.0 + c) : (1.0 - c);
  t.bandB[s][0] = static_cast<float>(b0 / a0);
  t.bandB[s][1] = static_cast<float>(b1 / a0);
  t.bandB[s][2] = static_cast<float>(b0 / a0);
  t.bandA[s][0] = static_cast<float>(-2.0 * c / a0);
  t.bandA[s][1] = static_cast<float>((1.0 - alpha) / a0);
}

double BandGain(const ProbeTable& t, double f) {
  const double w = 2.0 * std::numbers::pi * f / kRate;
  double gain = 1.0;
  for (int s = 0; s < 3; ++s) {
    const double nr = t.bandB[s][0] + t.bandB[s][1] * std::cos(w) + t.bandB[s][2] * std::cos(2 * w);
    const double ni = -t.bandB[s][1] * std::sin(w) - t.bandB[s][2] * std::sin(2 * w);
    const double dr = 1.0 + t.bandA[s][0] * std::cos(w) + t.bandA[s][1] * std::cos(2 * w);
    const double di = -t.bandA[s][0] * std::sin(w) - t.bandA[s][1] * std::sin(2 * w);
    gain *= (nr * nr + ni * ni) / (dr * dr + di * di);
  }
  return gain;
}

ProbeTable MakeProbeTable() {
  ProbeTable t{};
  for (int p = 0; p < 8; ++p) {
    const double w = 2.0 * std::numbers::pi * kNominal[p] / kRate;
    t.coef[p] = static_cast<float>(2.0 * std::cos(w));
    t.cosW[p] = static_cast<float>(std::cos(w));
    t.sinW[p] = static_cast<float>(std::sin(w));
    t.alignRe[p] = static_cast<float>(std::cos(w * (kH - 1)));
    t.alignIm[p] = static_cast<float>(-std::sin(w * (kH - 1)));
    for (int q = 0; q < kRobustDtmfWindowBlocks; ++q) {
      t.rotRe[q][p] = static_cast<float>(std::cos(w * q * kH));
      t.rotIm[q][p] = static_cast<float>(-std::sin(w * q * kH));
    }
    t.omegaH[p] = w * kH;
  }
  Section(t, 0, kBandLow, std::numbers::sqrt2 / 2.0, true);
  Section(t, 1, kBandHigh, 0.5412, false);  // the two poles pairs of a fourth-order Butterworth
  Section(t, 2, kBandHigh, 1.3066, false);
  for (int p = 0; p < 8; ++p) t.bandGain[p] = static_cast<float>(BandGain(t, kNominal[p]));
  for (int key = 0; key < 16; ++key) MakeFitInverse(t.fitInverse[key], key / 4, 4 + key % 4);
  return t;
}

const ProbeTable& Probes() {
  static const ProbeTable table = MakeProbeTable();
  return table;
}

// Power gain of a rectangular N-sample window for a tone `dw` rad/sample off.
double WindowGain(double dw) {
  const double den = kN * std::sin(dw / 2.0);
  if (std::fabs(den) < 1e-9) return 1.0;
  const double g = std::sin(kN * dw / 2.0) / den;
  return std::max(g * g, 1e-3);
}

// Relative frequency error from a sum of phase advances.
double FreqError(double re, double im, int probe) {
  const double dw = std::atan2(im, re) / kH;
  return dw / (2.0 * std::numbers::pi * kNominal[probe] / kRate);
}

float Dbm0(double peak) { return static_cast<float>(20.0 * std::log10(std::max(peak, 1e-3) / 22700.0)); }

// Powers at four frequencies over the latest window of samples: four
// Goertzel resonators side by side, so their dependency chains overlap.
// Returns whether the window reached the clipping peak.
bool WindowPowersAt(const RobustDtmfDetector* d, const double (&freq)[4], float (&power)[4]) {
  float c[4], s1[4] = {}, s2[4] = {};
  int peak = 0;
  for (int k = 0; k < 4; ++k) c[k] = static_cast<float>(2.0 * std::cos(2.0 * std::numbers::pi * freq[k] / kRate));
  const std::int64_t end = d->blocksDone * kH;
  for (std::int64_t i = end - kN; i < end; ++i) {
    const std::int16_t v = d->history[i & (kRobustDtmfHistory - 1)];
    peak = std::max(peak, std::abs(static_cast<int>(v)));
    const float x = v;
    for (int k = 0; k < 4; ++k) {
      const float s0 = x + c[k] * s1[k] - s2[k];
      s2[k] = s1[k];
      s1[k] = s0;
    }
  }
  for (int k = 0; k < 4; ++k) power[k] = s1[k] * s1[k] + s2[k] * s2[k] - c[k] * s1[k] * s2[k];
  return peak >= kClipPeak;
}

struct Window {
  float power[8];        // coherent |spectrum|^2 over the window
  float re[8], im[8];    // the coherent spectrum, phase taken at the window's first sample
  float blockPower[8];   // sum of the four sub-blocks' |spectrum|^2
  float advanceRe[8], advanceIm[8];  // phase advance since the previous window, nominal removed
  float energy;          // sum of squared samples
  float bandEnergy;      // sum of squared samples after the key band's filter
  float harmonic[2];     // coherent power at twice the row and twice the column tone (candidates only)
  float floor;           // the noise a coherent bin holds (candidates only)
};

int Strongest(const float* power) {
  int best = 0;
  for (int i = 1; i < 4; ++i) {
    if (power[i] > power[best]) best = i;
  }
  return best;
}

bool Dominates(const float* power, int best, float ratio, float floor = 0.0f) {
  for (int i = 0; i < 4; ++i) {
    if (i != best && power[best] - floor < ratio * (power[i] - floor)) return false;
  }
  return true;
}

// Energy of the two tones inside the key band, from their sub-block powers.
float ToneBandEnergy(const float* blockPower, int row, int col) {
  const ProbeTable& t = Probes();
  return 2.0f * (t.bandGain[row] * blockPower[row] + t.bandGain[col] * blockPower[col]) / kH;
}

// A second harmonic of a tone, as a voice or an instrument has one.
bool Harmonic(double h2, double tone, double floor, float overFloor) {
  return h2 > kMaxHarmonic * tone && h2 > overFloor * floor && h2 < kMaxInterferer * tone;
}

// 2 x 697, 770 and 852 Hz fall within 71 Hz of a column tone, which would
// read as the row's harmonic.
bool RowHarmonicMasked(int row, int col) { return std::fabs(2.0 * kNominal[row] - kNominal[col]) < 100.0; }

// The key the window carries, or -1.
int CandidateKey(const RobustDtmfDetector* d, Window& w) {
  const int row = Strongest(w.power);
  const int col = Strongest(w.power + 4);
  const int c = col + 4;
  if (!Dominates(w.power, row, kSeedDominance) || !Dominates(w.power + 4, col, kSeedDominance)) return -1;
  // Each sub-block's |Y|^2 is (A H / 2)^2, so the four sum to (A H)^2.
  const float minBlockPower = kMinPeak * kH * kMinPeak * kH;
  if (w.blockPower[row] < minBlockPower || w.blockPower[c] < minBlockPower) return -1;
  const float twist = 10.0f * std::log10(w.power[c] / w.power[row]);
  if (std::fabs(twist) > kWindowTwistDb) return -1;
  if (ToneBandEnergy(w.blockPower, row, c) < kMinEnergyShare * w.bandEnergy) return -1;
  if (std::fabs(FreqError(w.advanceRe[row], w.advanceIm[row], row)) > kWindowFreqError ||
      std::fabs(FreqError(w.advanceRe[c], w.advanceIm[c], c)) > kWindowFreqError) {
    return -1;
  }
  // Noise gives each coherent bin about the window's residual energy.
  const float floor = std::max(w.energy - 2.0f * (w.power[row] + w.power[c]) / kN, 0.0f);
  // Second harmonics of both tones, and the neighbours of a harmonic series:
  // two harmonics of one voice, k F0 and (k + n) F0, have partners of the
  // same series at 2 f_row - f_col and 2 f_col - f_row; a key has nothing there.
  const double fr = kNominal[row] * (1.0 + FreqError(w.advanceRe[row], w.advanceIm[row], row));
  const double fc = kNominal[c] * (1.0 + FreqError(w.advanceRe[c], w.advanceIm[c], c));
  const double probes[4] = {2.0 * kNominal[row], 2.0 * kNominal[c], 2.0 * fr - fc, 2.0 * fc - fr};
  float h[4];
  const bool clipped = WindowPowersAt(d, probes, h);
  w.harmonic[0] = h[0];
  w.harmonic[1] = h[1];
  w.floor = floor;
  if (!RowHarmonicMasked(row, c) && Harmonic(h[0], w.power[row], floor, kWindowHarmonicOverFloor)) return -1;
  if (Harmonic(h[1], w.power[c], floor, kWindowHarmonicOverFloor)) return -1;
  const float weaker = std::min(w.power[row], w.power[c]);
  for (int k = 2; k < 4 && !clipped; ++k) {
    if (probes[k] >= kMinSeriesProbe && h[k] > kMaxSeriesNeighbour * weaker && h[k] > kSeriesOverFloor * floor) {
      return -1;
    }
  }
  return row * 4 + col;
}

float TonePower(const RobustDtmfDetector* d, std::int64_t block, int key) {
  if (block < 0) return 0.0f;
  const float* p = d->blockPower[block & (kRobustDtmfSubRing - 1)];
  return p[key / 4] + p[4 + key % 4];
}

void StartTone(RobustDtmfDetector* d, int key, std::int64_t block) {
  d->key = key;
  d->firstWindow = block;
  d->lastWindow = block;
  d->candidateWindows = 0;
  d->misses = 0;
  d->absentRun = 0;
  for (int i = 0; i < kRobustDtmfEdgeBlocks; ++i) {
    d->onset[i] = TonePower(d, block - (kRobustDtmfEdgeBlocks - 1) + i, key);
  }
  d->levelCount = 0;
  d->peakBlockPower = 0.0f;
  d->noteCount = 0;
}

// Energy of the two tones fitted to the window by least squares: a single
// bin's power misreads it by a per cent or so (the tones leak into each
// other's bins and their negative frequencies into their own), which would
// cap the measured SNR near 20 dB.
float FitEnergy(const Window& w, int key) {
  const int row = key / 4;
  const int col = 4 + key % 4;
  const double y[4] = {w.re[row], -w.im[row], w.re[col], -w.im[col]};  // projections on cos and sin
  const double (&inv)[4][4] = Probes().fitInverse[key];
  double energy = 0.0;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) energy += y[i] * inv[i][j] * y[j];
  }
  return static_cast<float>(energy);
}

void NoteWindow(RobustDtmfDetector* d, const Window& w, bool candidate) {
  if (d->noteCount == kRobustDtmfNotes) return;
  const int row = d->key / 4;
  const int col = 4 + d->key % 4;
  RobustDtmfWindowNote& n = d->notes[d->noteCount++];
  n = {w.advanceRe[row], w.advanceIm[row], w.advanceRe[col], w.advanceIm[col], {}, w.blockPower[row],
       w.blockPower[col], w.energy, w.bandEnergy, FitEnergy(w, d->key), {w.harmonic[0], w.harmonic[1]}, w.floor,
       candidate};
  std::copy(std::begin(w.power), std::end(w.power), n.power);
}

float WindowTonePower(const RobustDtmfDetector* d, std::int64_t block) {
  float sum = 0.0f;
  for (int q = 0; q < kRobustDtmfWindowBlocks; ++q) sum += TonePower(d, block - q, d->key);
  return sum / kRobustDtmfWindowBlocks;
}

void FollowCandidate(RobustDtmfDetector* d, std::int64_t block) {
  d->lastWindow = block;
  ++d->candidateWindows;
  d->misses = 0;
  if (d->levelCount < kRobustDtmfLevelSamples) d->levelPower[d->levelCount++] = TonePower(d, block, d->key);
  d->peakBlockPower = std::max(d->peakBlockPower, WindowTonePower(d, block));
}

// A steady tone puts as much power into the 20 ms window as its four 5 ms
// sub-blocks together would predict (wide 200 Hz bins); neighbouring speech
// harmonics fill the wide bins but not the narrow one, and a wrongly mended
// frequency error overshoots.
bool Coherent(double windowPower, double subBlockPower) {
  return windowPower >= kMinCoherence * subBlockPower && windowPower <= kMaxCoherence * subBlockPower;
}

// Fraction of a sub-block the tone fills, from its power against the reference.
double Fill(float power, float reference) {
  return std::min(1.0, std::sqrt(static_cast<double>(std::max(power, 0.0f)) / reference));
}

// Median of the tone power of the sub-blocks seen in candidate windows.
float ReferencePower(const RobustDtmfDetector* d) {
  float sorted[kRobustDtmfLevelSamples];
  std::copy(d->levelPower, d->levelPower + d->levelCount, sorted);
  std::nth_element(sorted, sorted + d->levelCount / 2, sorted + d->levelCount);
  return std::max(sorted[d->levelCount / 2], 1e-3f);
}

// A sub-block whose power is below this share of the reference is partly filled.
constexpr double kFullFill = 0.8;

std::int64_t OnsetSample(const RobustDtmfDetector* d, float reference) {
  const std::int64_t base = d->firstWindow - (kRobustDtmfEdgeBlocks - 1);
  int j = kRobustDtmfEdgeBlocks - 1;
  while (j > 0 && d->onset[j] < kPresentShare * reference) --j;
  while (j > 0 && base + j > 0 && d->onset[j - 1] >= kPresentShare * reference) --j;
  const double fill = Fill(d->onset[j], reference);
  if (fill < kFullFill || j == 0) return (base + j + 1) * kH - std::lround(fill * kH);
  return (base + j) * kH - std::lround(Fill(d->onset[j - 1], reference) * kH);
}

std::int64_t EndSample(const RobustDtmfDetector* d, float reference, std::int64_t lastBlock) {
  std::int64_t j = d->lastWindow;
  const std::int64_t windowStart = d->lastWindow - (kRobustDtmfWindowBlocks - 1);
  while (j > windowStart && TonePower(d, j, d->key) < kPresentShare * reference) --j;
  while (j < lastBlock && TonePower(d, j + 1, d->key) >= kPresentShare * reference) ++j;
  const double fill = Fill(TonePower(d, j, d->key), reference);
  if (fill < kFullFill || j == lastBlock) return j * kH + std::lround(fill * kH);
  return (j + 1) * kH + std::lround(Fill(TonePower(d, j + 1, d->key), reference) * kH);
}

// The tone followed has ended after sub-block `lastBlock`: checks it as a
// whole and reports it when it passes.
void ReportTone(RobustDtmfDetector* d, std::int64_t lastBlock, DtmfKeySink& sink) {
  const float reference = ReferencePower(d);
  const std::int64_t start = std::max(OnsetSample(d, reference), d->lastEventEnd);
  const std::int64_t end = std::max(EndSample(d, reference, lastBlock), start);
  if (end - start < kMinToneSamples) return;

  // The whole-tone checks use the windows that, with the window before them,
  // lie wholly inside the tone: partial windows at the edges pull the phase
  // advance towards the nominal frequency and dilute the energy share.
  const auto inside = [&](int note) {
    const std::int64_t block = d->firstWindow + note;
    return (block - kRobustDtmfWindowBlocks) * kH >= start - kFillSlack && (block + 1) * kH <= end + kFillSlack;
  };
  const int row = d->key / 4;
  const int col = 4 + d->key % 4;
  int full = 0, fullCandidates = 0;
  double rowRe = 0, rowIm = 0, colRe = 0, colIm = 0;
  float power[8] = {};
  // The second harmonics over the candidate windows, against the floor
  // their noise sums to.
  double rowHarmonic = 0, colHarmonic = 0, harmonicFloor = 0, rowCandidate = 0, colCandidate = 0;
  for (int i = 0; i < d->noteCount; ++i) {
    if (!inside(i)) continue;
    const RobustDtmfWindowNote& n = d->notes[i];
    ++full;
    rowRe += n.rowAdvanceRe;
    rowIm += n.rowAdvanceIm;
    colRe += n.colAdvanceRe;
    colIm += n.colAdvanceIm;
    for (int p = 0; p < 8; ++p) power[p] += n.power[p];
    if (!n.candidate) continue;
    ++fullCandidates;
    rowHarmonic += n.harmonic[0];
    colHarmonic += n.harmonic[1];
    harmonicFloor += n.floor;
    rowCandidate += n.power[row];
    colCandidate += n.power[col];
  }
  if (full == 0 || kMinCandidateShare * full > fullCandidates) return;
  // The noise floor in one bin: the mean of the six bins of the other tones.
  float floor = 0.0f;
  for (int p = 0; p < 8; ++p) floor += (p == row || p == col) ? 0.0f : power[p] / 6.0f;
  floor = std::min({floor, power[row], power[col]});
  if (!Dominates(power, row, kDominance, floor) || !Dominates(power + 4, col - 4, kDominance, floor)) return;
  const double rowError = FreqError(rowRe, rowIm, row);
  const double colError = FreqError(colRe, colIm, col);
  if (std::fabs(rowError) > kToneFreqError || std::fabs(colError) > kToneFreqError) return;
  if ((!RowHarmonicMasked(row, col) && Harmonic(rowHarmonic, rowCandidate, harmonicFloor, kHarmonicOverFloor)) ||
      Harmonic(colHarmonic, colCandidate, harmonicFloor, kHarmonicOverFloor)) {
    return;
  }

  // Powers mended for the loss of an off-nominal tone in the window, the
  // noise floor taken off.
  const double rowGain = WindowGain(rowError * 2.0 * std::numbers::pi * kNominal[row] / kRate);
  const double colGain = WindowGain(colError * 2.0 * std::numbers::pi * kNominal[col] / kRate);
  const double noteFloor = floor / full;
  const ProbeTable& t = Probes();
  double toneAll = 0, insideEnergy = 0;
  double toneBand = 0, band = 0, fit = 0, energy = 0, rowPower = 0, colPower = 0;
  double rowCoherent = 0, colCoherent = 0, rowSpread = 0, colSpread = 0, rowNoisySpread = 0, colNoisySpread = 0;
  for (int i = 0; i < d->noteCount; ++i) {
    if (!inside(i)) continue;
    const RobustDtmfWindowNote& n = d->notes[i];
    const double rowTone = std::max(n.power[row] - noteFloor, 0.0) / rowGain;
    const double colTone = std::max(n.power[col] - noteFloor, 0.0) / colGain;
    toneBand += 2.0 * (t.bandGain[row] * rowTone + t.bandGain[col] * colTone) / kN;
    toneAll += 2.0 * (rowTone + colTone) / kN;
    insideEnergy += n.energy;
    band += n.bandEnergy;

    rowCoherent += rowTone;
    colCoherent += colTone;
    rowSpread += kRobustDtmfWindowBlocks * n.rowBlockPower - noteFloor;
    colSpread += kRobustDtmfWindowBlocks * n.colBlockPower - noteFloor;
    // Each sub-block bin holds a quarter of the window's noise, so the four
    // together hold it four times; where the floor is noise (not the key's
    // own leakage, as at a high SNR) that much comes off.
    rowNoisySpread += kRobustDtmfWindowBlocks * (n.rowBlockPower - noteFloor);
    colNoisySpread += kRobustDtmfWindowBlocks * (n.colBlockPower - noteFloor);
    rowPower = std::max(rowPower, rowTone);
    colPower = std::max(colPower, colTone);
  }
  const double share = toneBand / std::max(band, 1e-9);
  if (share < kMinNoisyShare) return;
  if (!Coherent(rowCoherent, rowSpread) || !Coherent(colCoherent, colSpread)) return;

  DtmfToneMeasures m{};
  m.lowLevel = Dbm0(2.0 * std::sqrt(rowPower) / kN);
  m.highLevel = Dbm0(2.0 * std::sqrt(colPower) / kN);
  m.twist = m.highLevel - m.lowLevel;
  if (std::fabs(m.twist) > kToneTwistDb) return;
  if (share < kMinToneEnergyShare || end - start < kMinPlainToneSamples) {
    const double bandRest = std::max(band - toneBand, 1e-9);
    const double outOfBand = (insideEnergy - toneAll - bandRest) / bandRest;
    const auto steady = [](double coherent, double spread) {
      return coherent >= kNoisyCoherence * spread && coherent <= kNoisyMaxCoherence * spread;
    };
    const double summedTwist = 10.0 * std::log10(std::max(colCoherent, 1e-9) / std::max(rowCoherent, 1e-9));
    const bool generatorLike = steady(rowCoherent, rowNoisySpread) && steady(colCoherent, colNoisySpread) &&
                               std::fabs(rowError) <= kNoisyFreqError && std::fabs(colError) <= kNoisyFreqError &&
                               std::fabs(summedTwist) <= kNoisyTwistDb &&
                               (share >= kMinToneEnergyShare || outOfBand <= kMaxOutOfBand);
    if (!generatorLike) return;
  }
  // The fit is made at the nominal frequencies; an off-nominal tone loses
  // in it what it loses in its bin.
  double rawBins = 0.0, mendedBins = 0.0;
  for (int i = 0; i < d->noteCount; ++i) {
    if (!inside(i)) continue;
    rawBins += d->notes[i].power[row] + d->notes[i].power[col];
    mendedBins += d->notes[i].power[row] / rowGain + d->notes[i].power[col] / colGain;
  }
  // The SNR from the windows the tone fills: at a low SNR an edge may be
  // misplaced, and a window holding silence or a tail would read low.
  float fullest = 0.0f;
  for (int i = 0; i < d->noteCount; ++i) {
    if (inside(i)) fullest = std::max(fullest, d->notes[i].fitEnergy);
  }
  for (int i = 0; i < d->noteCount; ++i) {
    if (!inside(i) || d->notes[i].fitEnergy < kFilledWindow * fullest) continue;
    fit += d->notes[i].fitEnergy;
    energy += d->notes[i].energy;
  }
  fit *= mendedBins / std::max(rawBins, 1e-9);
  // The fit of four sinusoids over a window takes in 4/N of its noise too.
  constexpr double kFittedNoise = 4.0 / kN;
  fit = std::max((fit - kFittedNoise * energy) / (1.0 - kFittedNoise), 1e-9);
  const double rest = std::max(energy - fit, fit * 1e-6);
  m.snr = static_cast<float>(std::clamp(10.0 * std::log10(fit / rest), -20.0, 60.0));
  if (std::fabs(m.twist) > kLopsidedTwistDb && m.snr < kLopsidedMinSnr) return;
  if (m.snr < kMinPlainSnr && (std::fabs(rowError) > kNoisyFreqError || std::fabs(colError) > kNoisyFreqError)) return;
  d->lastEventEnd = end;
  const DtmfKeyEvent event{kKeys[d->key], start, end - start, m};
  sink.Key(event);
}

void EndTone(RobustDtmfDetector* d, std::int64_t lastBlock, DtmfKeySink& sink) {
  ReportTone(d, lastBlock, sink);
  d->key = -1;
}

// One window ends with sub-block `block`: decide and move the tone's state on.
void AnalyseWindow(RobustDtmfDetector* d, std::int64_t block, DtmfKeySink& sink) {
  const ProbeTable& t = Probes();
  Window w{};
  for (int q = 0; q < kRobustDtmfWindowBlocks; ++q) {
    const int slot = static_cast<int>((block - (kRobustDtmfWindowBlocks - 1) + q) & (kRobustDtmfWindowBlocks - 1));
    w.energy += d->blockEnergy[slot];
    w.bandEnergy += d->blockBandEnergy[slot];
  }
  for (int p = 0; p < 8; ++p) {
    float re = 0.0f, im = 0.0f, incoherent = 0.0f;
    for (int q = 0; q < kRobustDtmfWindowBlocks; ++q) {
      const int slot = static_cast<int>((block - (kRobustDtmfWindowBlocks - 1) + q) & (kRobustDtmfWindowBlocks - 1));
      const float yr = d->blockRe[slot][p];
      const float yi = d->blockIm[slot][p];
      re += yr * t.rotRe[q][p] - yi * t.rotIm[q][p];
      im += yr * t.rotIm[q][p] + yi * t.rotRe[q][p];
      incoherent += yr * yr + yi * yi;
    }
    w.power[p] = re * re + im * im;
    w.re[p] = re;
    w.im[p] = im;
    w.blockPower[p] = incoherent;
    // This window starts one hop after the previous one: its phase has moved
    // by w_true H; removing w_nominal H leaves the error.
    const float ar = re * d->prevWindowRe[p] + im * d->prevWindowIm[p];
    const float ai = im * d->prevWindowRe[p] - re * d->prevWindowIm[p];
    w.advanceRe[p] = ar * t.rotRe[1][p] - ai * t.rotIm[1][p];
    w.advanceIm[p] = ar * t.rotIm[1][p] + ai * t.rotRe[1][p];
    d->prevWindowRe[p] = re;
    d->prevWindowIm[p] = im;
  }

  const int candidate = CandidateKey(d, w);
  if (d->key >= 0) {
    if (candidate >= 0 && candidate != d->key) {
      EndTone(d, block - 1, sink);
    } else if (candidate == d->key && (WindowTonePower(d, block) > kRestartRise * d->peakBlockPower ||
                                       (d->misses >= kRobustDtmfWindowBlocks && d->candidateWindows <= kBlipWindows))) {
      // What was followed so far was noise posing as this key just before
      // the key itself, far weaker or a blip apart from it: the onset is the key's.
      StartTone(d, candidate, block);
      NoteWindow(d, w, true);
      FollowCandidate(d, block);
      return;
    } else {
      const bool present = TonePower(d, block, d->key) >= kPresentShare * d->peakBlockPower;
      d->absentRun = present ? 0 : d->absentRun + 1;
      NoteWindow(d, w, candidate == d->key);
      if (candidate == d->key) {
        FollowCandidate(d, block);
        return;
      }
      ++d->misses;
      if (d->absentRun >= kEndAbsentBlocks || d->misses >= kEndMisses) EndTone(d, block, sink);
      return;
    }
  }
  if (candidate >= 0) {
    StartTone(d, candidate, block);
    NoteWindow(d, w, true);
    FollowCandidate(d, block);
  }
}

// Complex amplitude of exp(j omega n) over the sub-block being closed, as
// its history holds it (with a followed tone taken off: what is left of it).
void AmplitudeAt(const RobustDtmfDetector* d, double omega, float& re, float& im) {
  const std::int64_t start = d->blocksDone * kH;
  const double stepRe = std::cos(omega), stepIm = -std::sin(omega);
  double turnRe = 1.0, turnIm = 0.0, sumRe = 0.0, sumIm = 0.0;
  for (int n = 0; n < kH; ++n) {
    const double v = d->history[(start + n) & (kRobustDtmfHistory - 1)];
    sumRe += v * turnRe;
    sumIm += v * turnIm;
    const double next = turnRe * stepRe - turnIm * stepIm;
    turnIm = turnRe * stepIm + turnIm * stepRe;
    turnRe = next;
  }
  re = static_cast<float>(2.0 * sumRe / kH);
  im = static_cast<float>(2.0 * sumIm / kH);
}

// The frequency of the one sinusoid that explains the band-filtered
// sub-block being closed, or 0 when none does.
double SteadyFrequency(const RobustDtmfDetector* d) {
  const RobustDtmfSteadyTone& s = d->steady;
  const double s0 = d->openBandEnergy;
  if (s0 < kSteadyMinEnergy) return 0.0;
  // Sums of y[n-1]^2, y[n-2]^2 and y[n-1] y[n-2] from those of y[n], by the
  // samples at the sub-block's edges.
  const double l1 = s.last[0], l2 = s.last[1], b1 = s.before[0], b2 = s.before[1];
  const double s1 = s0 - l1 * l1 + b1 * b1;
  const double s2 = s1 - l2 * l2 + b2 * b2;
  const double c12 = s.lag1 - l1 * l2 + b1 * b2;
  // y[n] - a y[n-1] + y[n-2] vanishes for a sinusoid of 2 cos(w) = a.
  const double cross = s.lag1 + c12;
  const double a = cross / s1;
  const double residual = s0 + s2 + 2.0 * s.lag2 - cross * a;
  if (residual > kSteadyResidual * s0 || std::fabs(a) >= 2.0) return 0.0;
  const double omega = std::acos(a / 2.0);
  const double f = omega * kRate / (2.0 * std::numbers::pi);
  if (f < kSteadyLow || f > kSteadyHigh) return 0.0;
  for (const double key : kNominal) {
    if (std::fabs(f - key) < kSteadyKeyDistance * key) return 0.0;
  }
  return omega;
}

void TurnSteadyTone(RobustDtmfSteadyTone& s) {
  s.turnRe = static_cast<float>(std::cos(s.omega));
  s.turnIm = static_cast<float>(std::sin(s.omega));
}

// At the close of a sub-block: finds, follows or lets go the steady tone,
// and readies its amplitude for the next sub-block.
void FollowSteadyTone(RobustDtmfDetector* d) {
  RobustDtmfSteadyTone& s = d->steady;
  if (s.blocks >= kRobustDtmfSteadyBlocks) {
    float leftRe, leftIm;
    AmplitudeAt(d, s.omega, leftRe, leftIm);
    const float power = s.re * s.re + s.im * s.im;
    const float rawRe = s.re + leftRe, rawIm = s.im + leftIm;
    if (rawRe * rawRe + rawIm * rawIm < kSteadyGone * power) {
      s.blocks = 0;
    } else if (d->key < 0) {
      // Part of what is left is taken, so that the onset of a key near its
      // frequency, leaking into it, moves it little; less where more than
      // the tone sounds (noise, a voice). The phase it gained on the
      // amplitude taken off since that was last mended tells the frequency
      // error, taken at the square of that part over four (a critically
      // damped loop).
      const float gain = static_cast<float>(BandGain(Probes(), s.omega * kRate / (2.0 * std::numbers::pi)));
      const float mend = d->openBandEnergy < kSteadyQuiet * power * gain * kH / 2.0f ? kSteadyMend : kSteadyMendBusy;
      const double gained = std::atan2(rawIm * s.re - rawRe * s.im, rawRe * s.re + rawIm * s.im);
      s.omega += mend * mend / 4.0f * gained / (s.sinceMend * kH);
      s.re += mend * leftRe;
      s.im += mend * leftIm;
      s.sinceMend = 0;
      TurnSteadyTone(s);
    }
    s.sinceMend = std::min(s.sinceMend + 1, kSteadyLongestUnmended);
  } else if (const double omega = SteadyFrequency(d); omega == 0.0) {
    s.blocks = 0;
  } else {
    s.blocks = s.blocks > 0 && std::fabs(omega - s.omega) < kSteadyDrift ? s.blocks + 1 : 1;
    // The frequency is the running mean of the sub-blocks' estimates.
    s.omega = s.blocks == 1 ? omega : s.omega + (omega - s.omega) / s.blocks;
    AmplitudeAt(d, s.omega, s.re, s.im);
    if (s.blocks == kRobustDtmfSteadyBlocks) {
      s.sinceMend = 1;
      TurnSteadyTone(s);
    }
  }
  if (s.blocks >= kRobustDtmfSteadyBlocks) {
    const double stepRe = std::cos(s.omega * kH), stepIm = std::sin(s.omega * kH);
    const double re = s.re * stepRe - s.im * stepIm;
    s.im = static_cast<float>(s.re * stepIm + s.im * stepRe);
    s.re = static_cast<float>(re);
    s.phasorRe = s.re;
    s.phasorIm = s.im;
  }
  s.lag1 = 0.0f;
  s.lag2 = 0.0f;
  s.before[0] = s.last[0];
  s.before[1] = s.last[1];
}

void CloseBlock(RobustDtmfDetector* d, DtmfKeySink& sink) {
  const ProbeTable& t = Probes();
  const std::int64_t block = d->blocksDone;
  const int slot = static_cast<int>(block & (kRobustDtmfWindowBlocks - 1));
  float* power = d->blockPower[block & (kRobustDtmfSubRing - 1)];
  for (int p = 0; p < 8; ++p) {
    // Goertzel output s[H-1] - exp(-j w) s[H-2], turned to the block's start.
    const float yr = d->newer[p] - t.cosW[p] * d->older[p];
    const float yi = t.sinW[p] * d->older[p];
    d->blockRe[slot][p] = yr * t.alignRe[p] - yi * t.alignIm[p];
    d->blockIm[slot][p] = yr * t.alignIm[p] + yi * t.alignRe[p];
    power[p] = yr * yr + yi * yi;
    d->newer[p] = 0.0f;
    d->older[p] = 0.0f;
  }
  FollowSteadyTone(d);
  d->blockEnergy[slot] = d->openEnergy;
  d->blockBandEnergy[slot] = d->openBandEnergy;
  d->openEnergy = 0.0f;
  d->openBandEnergy = 0.0f;
  d->openFill = 0;
  d->blocksDone = block + 1;
  if (block >= kRobustDtmfWindowBlocks - 1) AnalyseWindow(d, block, sink);
}

// Feeds `n` samples to the open sub-block; with kTakeOff the steady tone
// followed is taken off them first.
template <bool kTakeOff>
void FeedOpenBlock(RobustDtmfDetector* d, const std::int16_t* samples, int n) {
  const ProbeTable& t = Probes();
  const float* coef = t.coef;
  float older[8], newer[8];
  std::memcpy(older, d->older, sizeof(older));
  std::memcpy(newer, d->newer, sizeof(newer));
  float energy = d->openEnergy;
  float bandEnergy = d->openBandEnergy;
  float z[3][2];
  std::memcpy(z, d->band, sizeof(z));
  RobustDtmfSteadyTone& steady = d->steady;
  float y1 = steady.last[0], y2 = steady.last[1], lag1 = steady.lag1, lag2 = steady.lag2;
  float phasorRe = steady.phasorRe, phasorIm = steady.phasorIm;
  const std::int64_t base = d->blocksDone * kH + d->openFill;
  for (int i = 0; i < n; ++i) {
    std::int16_t sample = samples[i];
    if constexpr (kTakeOff) {
      sample = static_cast<std::int16_t>(std::clamp(std::lrint(sample - phasorRe), -32768L, 32767L));
      const float turned = phasorRe * steady.turnRe - phasorIm * steady.turnIm;
      phasorIm = phasorRe * steady.turnIm + phasorIm * steady.turnRe;
      phasorRe = turned;
    }
    const float x = sample;
    for (int p = 0; p < 8; ++p) {
      const float s = x + coef[p] * newer[p] - older[p];
      older[p] = newer[p];
      newer[p] = s;
    }
    energy += x * x;
    float y = x;
    for (int s = 0; s < 3; ++s) {
      const float out = t.bandB[s][0] * y + z[s][0];
      z[s][0] = t.bandB[s][1] * y - t.bandA[s][0] * out + z[s][1];
      z[s][1] = t.bandB[s][2] * y - t.bandA[s][1] * out;
      y = out;
    }
    bandEnergy += y * y;
    if constexpr (!kTakeOff) {  // only looking for a steady tone needs them
      lag1 += y * y1;
      lag2 += y * y2;
    }
    y2 = y1;
    y1 = y;
    d->history[(base + i) & (kRobustDtmfHistory - 1)] = sample;
  }
  std::memcpy(d->older, older, sizeof(older));
  std::memcpy(d->newer, newer, sizeof(newer));
  std::memcpy(d->band, z, sizeof(z));
  d->openEnergy = energy;
  d->openBandEnergy = bandEnergy;
  steady.last[0] = y1;
  steady.last[1] = y2;
  steady.lag1 = lag1;
  steady.lag2 = lag2;
  steady.phasorRe = phasorRe;
  steady.phasorIm = phasorIm;
  d->openFill += n;
}

}  // namespace

void RobustDtmfInit(RobustDtmfDetector& detector, const RobustDtmfConfig& config) {
  (void)config;
  RobustDtmfReset(detector);
}

void RobustDtmfReset(RobustDtmfDetector& detector) {
  std::memset(&detector, 0, sizeof(detector));
  detector.key = -1;
}

void RobustDtmfProcess(RobustDtmfDetector& detector, const std::int16_t* samples, std::size_t count, DtmfKeySink& sink) {
  RobustDtmfDetector* d = &detector;
  while (count > 0) {
    const int n = static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(kH - d->openFill)));
    if (d->steady.blocks >= kRobustDtmfSteadyBlocks) {
      FeedOpenBlock<true>(d, samples, n);
    } else {
      FeedOpenBlock<false>(d, samples, n);
    }
    samples += n;
    count -= static_cast<std::size_t>(n);
    if (d->openFill == kH) CloseBlock(d, sink);
  }
}

void RobustDtmfFinish(RobustDtmfDetector& detector, DtmfKeySink& sink) {
  if (detector.key >= 0) EndTone(&detector, detector.blocksDone - 1, sink);
}

RobustDtmfSubBlock RobustDtmfLastSubBlock(const RobustDtmfDetector& d) {
  RobustDtmfSubBlock view{};
  if (d.blocksDone == 0) return view;
  const std::int64_t last = d.blocksDone - 1;
  view.start = last * kH;
  std::copy(std::begin(d.blockPower[last & (kRobustDtmfSubRing - 1)]), std::end(d.blockPower[last & (kRobustDtmfSubRing - 1)]),
            view.power);
  view.energy = d.blockEnergy[last & (kRobustDtmfWindowBlocks - 1)];
  view.key = d.key >= 0 ? kKeys[d.key] : '\0';
  return view;
}

}  // namespace quorvane
