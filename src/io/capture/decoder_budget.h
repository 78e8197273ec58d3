// Setting up a decoder and its resampler costs as much as decoding a second
// of its audio (about 150 us for Opus at 48 kHz). A capture crafted as one
// tiny packet per stream would make every 60 bytes a set-up, and 10 MB a
// minute of work. So a capture may set up a decoder per kBytesPerSetup bytes
// it has read, beyond its first kFreeSetups: a real call's stream carries
// far more than that, and only a capture of streams of a packet or two ever
// meets the limit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane::io {

class DecoderBudget {
 public:
  static constexpr std::uint64_t kFreeSetups = 1000;
  static constexpr std::uint64_t kBytesPerSetup = 1024;

  void Read(std::size_t bytes) { read_ += bytes; }
  // Whether one more set-up is within the budget; it is counted if so.
  bool Take() {
    if (setups_ >= kFreeSetups + read_ / kBytesPerSetup) return false;
    ++setups_;
    return true;
  }

 private:
  std::uint64_t read_ = 0;
  std::uint64_t setups_ = 0;
};

}  // namespace quorvane::io
