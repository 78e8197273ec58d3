// Copies a mu-law recording, silencing every 20 ms frame whose samples are
// all quiet (magnitude below 512).
#pragma once

#include <string>

#include "codec/output_file.h"
#include "codec/pcm_raw_file.h"

namespace quorvane {

inline constexpr char kHumRemoverOutputName[] = "NoiseClear.pcm";

// Copies `input` from where it stands to `output`, both opened by the
// caller, and makes the copy the destination's content. False, with the
// reason, when a read or the writing failed (input.ReadsSucceeded tells
// which); the destination then keeps its earlier content.
bool RemoveHum(PcmRawFile& input, OutputFile& output, std::string* error);

}  // namespace quorvane
