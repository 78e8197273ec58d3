// The exact caller-ID receiver behind the one contract every detector
// keeps: 8 kHz linear samples, any number per call, are cut into the 20 ms
// frames the receiver takes, and each accepted message is reported at the
// start of the frame in which it completed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "callerid/events.h"
#include "callerid/exact/fsk_receiver.h"
#include "callerid/tone_plan.h"
#include "codec/frame_cutter.h"

namespace quorvane {

struct ExactCallerIdConfig {
  TonePlan plan = TonePlan::Bell202;  // Bell202 or V23; Auto is read as Bell 202
  // Exact where the filters are read between frames (the window, the plot);
  // CarriedLevels, same messages, elsewhere.
  FskCallBoundary boundary = FskCallBoundary::CarriedLevels;
};

// Large (the demodulator keeps a trace of 200 KB): keep it off the stack.
struct ExactCallerId {
  ExactCallerIdConfig config;
  FskReceiver receiver;
  FrameCutter cutter;  // the open frame and the frames processed since Init
};

void ExactCallerIdInit(ExactCallerId& r, const ExactCallerIdConfig& config);
void ExactCallerIdProcess(ExactCallerId& r, const std::int16_t* samples, std::size_t count, CallerIdSink& sink);
// Nothing is ever pending: messages are reported as their frame ends.
void ExactCallerIdFinish(ExactCallerId& r, CallerIdSink& sink);
void ExactCallerIdReset(ExactCallerId& r);

// What the receiver's fields say of the message it accepted last.
CallerIdInfo ExactCallerIdInfo(const FskReceiver& receiver);

}  // namespace quorvane
