// The robust caller-ID receiver over one stream of the command line.
#pragma once

#include <memory>

#include "detect/stream_detector.h"

namespace quorvane {

std::unique_ptr<StreamDetector> MakeRobustCallerIdStream(const DetectorSettings& settings, DetectedEventHook hook);

}  // namespace quorvane
