// Caller ID over one stream of the command line, by detector profile.
#pragma once

#include "detect/stream_detector.h"

namespace quorvane {

// The maker of the profile's receiver, or null where the profile is not built.
StreamDetectorMaker CallerIdStreamDetectorMaker(DetectorProfile profile);

}  // namespace quorvane
