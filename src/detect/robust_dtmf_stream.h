// The robust DTMF detector over one stream of the command line.
#pragma once

#include <memory>

#include "detect/stream_detector.h"

namespace quorvane {

std::unique_ptr<StreamDetector> MakeRobustDtmfStream(const DetectorSettings& settings, DetectedEventHook hook);

}  // namespace quorvane
