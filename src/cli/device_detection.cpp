#include "cli/device_detection.h"

#include <string>

#include "cli/stop_signals.h"
#include "io/device/device_capture.h"

namespace quorvane::cli {

void DetectDevice(const io::DeviceName& device, int channel, const DetectionCommand& command,
                  InputReporter& reporter) {
  // Before opening, so that Ctrl-C while the server answers still ends cleanly.
  const std::atomic<bool>& stop = StopOnSignals();
  io::DeviceCapture capture;
  std::string error;
  bool read = capture.Open(device, &error);
  if (read) {
    DetectionSinkFactory factory(capture.streamName(), command, reporter);
    read = capture.Run(channel, stop, factory, &error);
  }
  if (!read) reporter.InputFailed(capture.streamName(), error);
  reporter.InputDone();
}

}  // namespace quorvane::cli
