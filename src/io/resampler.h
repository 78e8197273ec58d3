// One channel of 16-bit samples at any rate to 8000 samples/s (libsoxr,
// high quality, one thread and no dither, so the result is the same on
// every run).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "io/stream_sink.h"

struct soxr;

namespace quorvane::io {

class Resampler {
 public:
  // Ready for any rate that Supports; for another it passes nothing on.
  explicit Resampler(int inputRate);
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  ~Resampler();

  // False, with the reason, when no resampler from `inputRate` can be set up.
  static bool Supports(int inputRate, std::string* error);
  // A resampler from `inputRate`, or null with the reason: one set-up where
  // Supports and the constructor make two (it is most of a short stream's cost).
  static std::unique_ptr<Resampler> Make(int inputRate, std::string* error);

  // Converts `count` samples and hands the 8 kHz result to `sink`.
  void Push(const std::int16_t* samples, std::size_t count, StreamSink& sink);
  // Hands over what the filter still holds at the end of the input.
  void Flush(StreamSink& sink);

 private:
  explicit Resampler(soxr* made) : soxr_(made) {}

  soxr* soxr_ = nullptr;  // null when it could not be set up
};

// A sink taking samples at another rate, resampled for the 8 kHz sink
// behind it. Mu-law bytes are 8 kHz and pass straight on.
class ResamplingSink final : public StreamSink {
 public:
  ResamplingSink(int inputRate, std::unique_ptr<StreamSink> sink) : resampler_(inputRate), sink_(std::move(sink)) {}
  void Ulaw(const std::uint8_t* bytes, std::size_t count) override { sink_->Ulaw(bytes, count); }
  void Linear(const std::int16_t* samples, std::size_t count) override { resampler_.Push(samples, count, *sink_); }
  void Event(const TelephoneEvent& event) override { sink_->Event(event); }
  void End(const std::optional<RtpTotals>& rtp) override {
    resampler_.Flush(*sink_);
    sink_->End(rtp);
  }

 private:
  Resampler resampler_;
  std::unique_ptr<StreamSink> sink_;
};

}  // namespace quorvane::io
