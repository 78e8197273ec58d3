#include "codec/signal_gen.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "codec/ulaw.h"

namespace quorvane {

double Dbm0ToPeak(double dbm0) { return 22700.0 * std::pow(10.0, dbm0 / 20.0); }

std::int64_t MsToSamples(double ms) { return std::llround(ms * kSampleRate / 1000.0); }

std::uint64_t GaussianNoise::NextBits() {
  // splitmix64: small, fast and the same everywhere.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double GaussianNoise::Uniform() {
  return (static_cast<double>(NextBits() >> 11) + 1.0) * (1.0 / 9007199254740992.0);
}

double GaussianNoise::Next() {
  if (hasSpare_) {
    hasSpare_ = false;
    return spare_;
  }
  // Box-Muller.
  const double radius = std::sqrt(-2.0 * std::log(Uniform()));
  const double angle = 2.0 * std::numbers::pi * Uniform();
  spare_ = radius * std::sin(angle);
  hasSpare_ = true;
  return radius * std::cos(angle);
}

bool UlawFileWriter::Open(const std::string& path, std::string* error) {
  buffer_.clear();
  buffer_.reserve(1 << 16);
  writeFailed_ = false;
  return output_.Open(path, error);
}

void UlawFileWriter::Put(double linear) {
  double rounded = std::nearbyint(linear);
  if (rounded > 32767.0) rounded = 32767.0;
  if (rounded < -32768.0) rounded = -32768.0;
  buffer_.push_back(LinearToUlaw(static_cast<std::int16_t>(rounded)));
  if (buffer_.size() >= (1u << 16)) Flush();
}

void UlawFileWriter::Flush() {
  if (!writeFailed_ && !buffer_.empty()) writeFailed_ = !output_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

bool UlawFileWriter::Close(std::string* error) {
  Flush();
  // A failed write is reported by the commit, which then changes nothing.
  return output_.Commit(error);
}

}  // namespace quorvane
