// The two FSK tone plans of caller ID, for the receivers, the plot and the
// synthesiser alike.
#pragma once

#include <cstdint>

namespace quorvane {

// Auto is never sent: it asks the robust receiver to find the plan itself
// (and marks DTMF-signalled caller ID, which has no tone plan).
enum class TonePlan { Auto, Bell202, V23 };

struct FskTones {
  double mark;   // Hz, the 1 bit and the idle line
  double space;  // Hz, the 0 bit
};

inline constexpr FskTones kBell202Tones{1200.0, 2200.0};
inline constexpr FskTones kV23Tones{1300.0, 2100.0};
// Midway between the plans: where the robust receiver listens before it knows.
inline constexpr FskTones kMidwayTones{1250.0, 2150.0};

constexpr FskTones TonesOf(TonePlan plan) {
  return plan == TonePlan::V23 ? kV23Tones : plan == TonePlan::Bell202 ? kBell202Tones : kMidwayTones;
}

// The exact receiver's mode for FskReceiver::Init: 2 V.23, 1 Bell 202.
constexpr std::int32_t ExactReceiverMode(TonePlan plan) { return plan == TonePlan::V23 ? 2 : 1; }

}  // namespace quorvane
