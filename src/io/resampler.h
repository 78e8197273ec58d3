// One channel of 16-bit samples at any rate to 8000 samples/s (libsoxr,
// high quality, one thread and no dither, so the result is the same on
// every run).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/stream_sink.h"

struct soxr;

namespace quorvane::io {

class Resampler {
 public:
  explicit Resampler(int inputRate);
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  ~Resampler();

  // "" when ready, else why it could not be set up.
  const std::string& Error() const { return error_; }

  // Converts `count` samples and hands the 8 kHz result to `sink`.
  void Push(const std::int16_t* samples, std::size_t count, StreamSink& sink);
  // Hands over what the filter still holds at the end of the input.
  void Flush(StreamSink& sink);

 private:
  soxr* soxr_ = nullptr;
  std::string error_;
};

}  // namespace quorvane::io
