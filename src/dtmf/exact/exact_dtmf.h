// The exact DTMF detector behind the one contract every detector keeps:
// 8 kHz linear samples, any number per call, are cut into the 20 ms frames
// the channel takes, and each key is reported at the start of the frame
// that admitted it. A final piece shorter than a frame is never processed,
// exactly as over a file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/frame_cutter.h"
#include "dtmf/exact/dtmf_channel.h"
#include "dtmf/key_event.h"

namespace quorvane {

// The specified detector has nothing to choose.
struct ExactDtmfConfig {};

struct ExactDtmf {
  DtmfChannel channel;  // the detector proper, as the window runs it
  FrameCutter cutter;   // the open frame and the frames processed since Init
};

void ExactDtmfInit(ExactDtmf& d, const ExactDtmfConfig& config);
void ExactDtmfProcess(ExactDtmf& d, const std::int16_t* samples, std::size_t count, DtmfKeySink& sink);
// Nothing is ever pending: keys are reported as their frame ends.
void ExactDtmfFinish(ExactDtmf& d, DtmfKeySink& sink);
void ExactDtmfReset(ExactDtmf& d);

}  // namespace quorvane
