// A sound device as the input layer's streams: its channels, at its own
// rate, go to the factory's sinks (which resample to 8 kHz) as they are
// captured.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "io/device/capture_source.h"
#include "io/device/device_name.h"
#include "io/stream_sink.h"

namespace quorvane::io {

class DeviceCapture {
 public:
  bool Open(const DeviceName& device, std::string* error);
  // device:NAME, NAME as `devices` lists it; PulseAudio's default source by
  // the name the server gave it ("device:default" until then, or when it
  // would not say).
  const std::string& streamName() const { return streamName_; }
  // Captures into sinks from `factory` (every channel, or `keepChannel`,
  // 1-based) until `stop` is set or the source ends; the streams are ended
  // either way, so their totals are reported even after a failure.
  bool Run(int keepChannel, const std::atomic<bool>& stop, StreamSinkFactory& factory, std::string* error);

 private:
  std::unique_ptr<CaptureSource> source_;
  std::string streamName_;
  InputInfo input_;
};

}  // namespace quorvane::io
