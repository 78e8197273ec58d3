// `dtmf --device` and `callerid --device`: a live capture through the same
// streams, detectors and reports as a file.
#pragma once

#include "io/device/device_name.h"
#include "report/detection_sink.h"
#include "report/report_writer.h"

namespace quorvane::cli {

// Captures from `device` (every channel, or `channel`, 1-based) until
// Ctrl-C, SIGTERM or the end of the source, reporting as it goes.
void DetectDevice(const io::DeviceName& device, int channel, const DetectionCommand& command,
                  InputReporter& reporter);

}  // namespace quorvane::cli
