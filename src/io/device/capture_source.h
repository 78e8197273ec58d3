// A sound device opened for capture: interleaved 16-bit frames at the
// device's own rate and channel count, read as they arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane::io {

class CaptureSource {
 public:
  virtual ~CaptureSource() = default;
  virtual int rate() const = 0;
  virtual int channels() const = 0;
  // The samples as the device gives them: "pcm16" or "pcm32".
  virtual const char* encoding() const { return "pcm16"; }
  // Waits for up to `frames` frames. `*got` is 0 when a signal cut the wait
  // short, or when the source has nothing more (then `ended()`).
  virtual bool Read(std::int16_t* interleaved, std::size_t frames, std::size_t* got, std::string* error) = 0;
  virtual bool ended() const { return false; }
};

}  // namespace quorvane::io
