// Capture from a PulseAudio source (PipeWire serves the same protocol)
// through the simple API, in the source's own rate and channels.
#pragma once

#include "io/device/capture_source.h"

struct pa_simple;

namespace quorvane::io {

class PulseCapture final : public CaptureSource {
 public:
  PulseCapture() = default;
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;
  ~PulseCapture() override;

  // `name` empty: the server's default source. Takes the source's rate and
  // channel count, or 48000 Hz mono when the server will not say.
  bool Open(const std::string& name, std::string* error);
  // The source's name; for the default source the name the server gave it
  // (empty when it would not say).
  const std::string& sourceName() const { return name_; }

  int rate() const override { return rate_; }
  int channels() const override { return channels_; }
  bool Read(std::int16_t* interleaved, std::size_t frames, std::size_t* got, std::string* error) override;

 private:
  pa_simple* stream_ = nullptr;
  std::string name_;
  int rate_ = 48000;
  int channels_ = 1;
};

}  // namespace quorvane::io
