// A DTMF receiver for real-world line audio: noise, speech, music, short and
// weak tones, frequency and level errors, steady tones on the line.
//
// The signal is cut into 5 ms sub-blocks; each gives the complex spectrum at
// the eight key frequencies (Goertzel) and its energy, in full and inside the
// key band (600-1750 Hz, so that hum, signalling tones above 2 kHz and the
// harmonics of clipping do not count against a key). Four consecutive
// sub-blocks combine coherently into a 20 ms analysis window every 5 ms, so a
// tone of 25 ms always fills one window whatever its alignment. A window
// shows a key when one row and one column tone stand out of their groups,
// carry much of the band's energy, keep their twist, sit near their nominal
// frequencies (from the phase advance between windows) and have no strong
// second harmonic. A tone is then followed sub-block by sub-block: short
// drop-outs are bridged, its edges are found to the sample from the
// sub-block energies, and it is reported once it has ended and passed the
// whole-tone checks, made on the sums over the windows inside it (dominance
// over the noise floor of the other key bins, second harmonics, share of the
// band's energy, duration, frequency error, twist).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dtmf/key_event.h"

namespace quorvane {

inline constexpr int kRobustDtmfSubBlock = 40;     // samples per sub-block (5 ms)
inline constexpr int kRobustDtmfWindowBlocks = 4;  // sub-blocks per analysis window
inline constexpr int kRobustDtmfWindow = kRobustDtmfSubBlock * kRobustDtmfWindowBlocks;
inline constexpr int kRobustDtmfHistory = 256;     // sample history (power of two >= window)
inline constexpr int kRobustDtmfSubRing = 16;      // sub-block energies kept (power of two)
inline constexpr int kRobustDtmfEdgeBlocks = 8;    // sub-blocks looked back for a tone's onset
inline constexpr int kRobustDtmfLevelSamples = 32; // sub-block energies kept for a tone's reference
inline constexpr int kRobustDtmfNotes = 64;        // windows of a tone kept for its whole-tone checks

// What one analysis window of a followed tone showed.
struct RobustDtmfWindowNote {
  float rowAdvanceRe, rowAdvanceIm;  // phase advance since the previous window, nominal removed
  float colAdvanceRe, colAdvanceIm;
  float power[8];                    // coherent |spectrum|^2 over the window, all eight key frequencies
  float rowBlockPower, colBlockPower;  // sum of the four sub-blocks' |spectrum|^2
  float energy;                      // sum of squared samples
  float bandEnergy;                  // sum of squared samples after the key band's filter
  float fitEnergy;                   // energy of the least-squares fit of the key's two tones
  float harmonic[2];                 // coherent power at twice the row and the column tone (candidates only)
  float floor;                       // the noise one coherent bin holds (candidates only)
  bool candidate;                    // the window passed every per-window test for the key
};

// A steady tone inside the key band at no key's frequency (a test or
// signalling tone on the line, a whistle): once it has sounded alone for
// a while it is followed and taken off the samples, so that a key sent
// over it is judged on its own.
struct RobustDtmfSteadyTone {
  float lag1, lag2;      // open sub-block, while none is taken off: sums of y[n] y[n-1] and y[n] y[n-2], y the band-filtered samples
  float last[2];         // y[n-1], y[n-2] at the latest sample
  float before[2];       // the same at the open sub-block's first sample
  double omega;          // its frequency, rad/sample
  std::int32_t blocks;   // consecutive sub-blocks that showed it; taken off from kRobustDtmfSteadyBlocks on
  float re, im;          // its complex amplitude at the open sub-block's first sample
  std::int32_t sinceMend;  // sub-blocks since the amplitude was last mended from the line
  float phasorRe, phasorIm;  // the same turned to the next sample, while taken off
  float turnRe, turnIm;      // exp(j omega)
};
inline constexpr int kRobustDtmfSteadyBlocks = 6;

struct RobustDtmfDetector {
  // Goertzel state of the open sub-block, rows 0..3 then columns 4..7.
  float older[8];   // resonator output two samples back
  float newer[8];   // resonator output one sample back
  float openEnergy;            // sum of squared samples of the open sub-block
  float band[3][2];            // state of the key band's three filter sections
  float openBandEnergy;        // sum of squared filtered samples of the open sub-block
  std::int32_t openFill;       // samples in the open sub-block, 0..39
  std::int64_t blocksDone;     // sub-blocks completed since init
  std::int16_t history[kRobustDtmfHistory];  // last samples (a steady tone taken off), at (sample index & 255)
  RobustDtmfSteadyTone steady;

  // The last four sub-blocks' spectra and energies, at (block index & 3).
  float blockRe[kRobustDtmfWindowBlocks][8];
  float blockIm[kRobustDtmfWindowBlocks][8];
  float blockEnergy[kRobustDtmfWindowBlocks];
  float blockBandEnergy[kRobustDtmfWindowBlocks];
  float blockPower[kRobustDtmfSubRing][8];  // |spectrum|^2 of the last 16 sub-blocks
  float prevWindowRe[8];  // previous window's spectrum, for the phase advance
  float prevWindowIm[8];

  // The tone being followed (key < 0: none).
  std::int32_t key;              // row * 4 + column
  std::int64_t firstWindow;      // sub-block ending the tone's first candidate window
  std::int64_t lastWindow;       // sub-block ending its latest candidate window
  std::int32_t candidateWindows; // candidate windows so far
  std::int32_t misses;           // windows since the latest candidate
  std::int32_t absentRun;        // consecutive sub-blocks without the tone
  float onset[kRobustDtmfEdgeBlocks];  // tone power of the sub-blocks up to firstWindow
  float levelPower[kRobustDtmfLevelSamples];  // tone power of sub-blocks of candidate windows
  std::int32_t levelCount;
  float peakBlockPower;          // largest mean tone power over a candidate window's sub-blocks
  RobustDtmfWindowNote notes[kRobustDtmfNotes];  // the tone's first windows, from firstWindow on
  std::int32_t noteCount;
  std::int64_t lastEventEnd;     // end of the latest reported tone (events never overlap)
};

// Nothing to choose yet: every threshold is fixed, with its reason, in the
// implementation.
struct RobustDtmfConfig {};

// Makes `detector` ready for a new input.
void RobustDtmfInit(RobustDtmfDetector& detector, const RobustDtmfConfig& config);

// Feeds `count` samples (8000/s, any count including 0); the split into calls
// never changes the events. Keys go to `sink` once their tone has ended.
void RobustDtmfProcess(RobustDtmfDetector& detector, const std::int16_t* samples, std::size_t count, DtmfKeySink& sink);

// The input has ended: reports a tone still sounding. The detector is left
// as it is; Reset it before a new input.
void RobustDtmfFinish(RobustDtmfDetector& detector, DtmfKeySink& sink);

// Back to the state Init leaves, keeping the configuration.
void RobustDtmfReset(RobustDtmfDetector& detector);

// The last completed sub-block, as the plot draws it.
struct RobustDtmfSubBlock {
  std::int64_t start;  // its first sample
  float power[8];      // |spectrum|^2 at the eight key frequencies, rows first
  float energy;        // sum of squared samples
  char key;            // the key being followed after it, or 0
};
RobustDtmfSubBlock RobustDtmfLastSubBlock(const RobustDtmfDetector& detector);

}  // namespace quorvane
