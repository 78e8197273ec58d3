// A caller-ID test-signal synthesiser: data message, channel seizure and
// mark period as continuous-phase 1200 bit/s FSK in mu-law, optionally
// after the dual-tone alerting signal; or caller ID sent as DTMF digits.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "callerid/tone_plan.h"

namespace quorvane {

struct CallerIdSynthOptions {
  bool multipleDataMessage = true;  // 0x80 with parameters; false: 0x04
  bool messageWaitingType = false;  // 0x82 / 0x06 instead of 0x80 / 0x04
  bool dtmf = false;                // digits framed by start and end keys instead of FSK
  std::string dateTime = "12081530";  // MMDDHHMM, eight digits (multiple data messages: may be empty)
  std::string number;                 // empty: the absence code below
  std::string name;                   // empty: the absence code below (multiple only)
  char numberAbsence = 'O';           // 'O' unavailable, 'P' withheld
  char nameAbsence = 'O';
  // Further parameters of a multiple data message, each sent when set.
  std::string dialableNumber;         // 03
  std::string callQualifier;          // 06
  std::optional<int> callType;        // 11
  std::optional<bool> messageWaiting; // 0B visual indicator; the state of a single MWI message (default on)
  std::optional<int> messageCount;    // 13
  std::string redirectingNumber;      // 1A (DTMF: a B-framed string)
  std::optional<int> redirectReason;  // 15
  std::optional<int> callingUserType; // 16
  std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> rawParameters;  // sent as given, last
  int idleBits = 0;                   // mark bits between characters
  // DTMF caller ID: the number A-framed, or an information code D-framed.
  std::string informationCode;
  char dtmfEndKey = 'C';              // 'C' or '#'
  double dtmfToneMs = 60.0;
  double dtmfGapMs = 60.0;
  // The dual-tone alerting signal (2130 + 2750 Hz) before the burst.
  bool alert = false;
  double alertMs = 80.0;
  double alertGapMs = 100.0;          // silence between the alert and the burst
  TonePlan plan = TonePlan::Bell202;  // Bell202 or V23
  double levelDbm0 = -13.0;
  int seizureBytes = 30;              // 0x55 characters before the mark period
  double markMs = 150.0;
  // How far into a bit of the mark's bit clock the message starts (0..1):
  // a sender that starts its characters whenever they are ready rather
  // than on the bit clock of its mark.
  double messageDelayBits = 0.0;
  double leadMs = 100.0;              // silence before the burst
  double trailMs = 100.0;             // silence after it
  double freqOffsetPercent = 0.0;
  std::optional<double> snrDb;        // white noise relative to the tone's power
  std::uint64_t seed = 1;
};

// The message as sent: type, length, payload, checksum. Empty with `error`
// set when the options cannot make one.
std::optional<std::vector<std::uint8_t>> BuildCallerIdMessage(const CallerIdSynthOptions& options, std::string* error);

// Bits as continuous-phase FSK at 1200 bit/s and 8000 samples/s, handed to
// `put` one linear sample at a time (true bits at `markHz`). The bits from
// `delayFrom` on come `delayBits` of a bit late, after that much more mark.
template <typename Sink>
void ModulateFsk(const std::vector<bool>& bits, double markHz, double spaceHz, double peak, Sink&& put,
                 std::size_t delayFrom = 0, double delayBits = 0.0);

// Bits of one 8-N-1 character: start (space), data LSB first, stop (mark).
void AppendFskCharacter(std::vector<bool>& bits, std::uint8_t byte);

// Whether the options make a signal; the reason in `error` when not.
bool CheckCallerIdOptions(const CallerIdSynthOptions& options, std::string* error);

// The whole signal (lead, alert, burst or DTMF digits, trail, noise) handed
// to `put` one linear sample at a time. False with `error` set when the
// options cannot make one; then nothing was put.
bool GenerateCallerId(const CallerIdSynthOptions& options, const std::function<void(double)>& put, std::string* error);

// The signal as 16-bit samples read back from its mu-law file.
bool CallerIdSamples(const CallerIdSynthOptions& options, std::vector<std::int16_t>* samples, std::string* error);

bool SynthesizeCallerId(const CallerIdSynthOptions& options, const std::string& path, std::string* error);

template <typename Sink>
void ModulateFsk(const std::vector<bool>& bits, double markHz, double spaceHz, double peak, Sink&& put,
                 std::size_t delayFrom, double delayBits) {
  constexpr double kTwoPi = 6.283185307179586;
  if (bits.empty()) return;
  // Continuous phase: a bit only changes how fast the phase turns.
  const auto total = static_cast<std::int64_t>(std::ceil((static_cast<double>(bits.size()) + delayBits) * 8000.0 / 1200.0));
  const double delayedFrom = static_cast<double>(delayFrom);
  double phase = 0.0;
  for (std::int64_t n = 0; n < total; ++n) {
    const double t = static_cast<double>(n) * 1200.0 / 8000.0;
    bool mark = true;  // in the delay
    if (t < delayedFrom) {
      mark = bits[std::min(static_cast<std::size_t>(t), bits.size() - 1)];
    } else if (t - delayBits >= delayedFrom) {
      mark = bits[std::min(static_cast<std::size_t>(t - delayBits), bits.size() - 1)];
    }
    put(peak * std::sin(phase));
    phase = std::fmod(phase + kTwoPi * (mark ? markHz : spaceHz) / 8000.0, kTwoPi);
  }
}

}  // namespace quorvane
