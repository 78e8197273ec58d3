#include "codec/signal_gen.h"

#include <cerrno>
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

UlawFileWriter::~UlawFileWriter() {
  if (file_) std::fclose(file_);
}

bool UlawFileWriter::Open(const std::string& path) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error_ = std::strerror(errno ? errno : EIO);
    return false;
  }
  buffer_.reserve(1 << 16);
  return true;
}

void UlawFileWriter::Put(double linear) {
  double rounded = std::nearbyint(linear);
  if (rounded > 32767.0) rounded = 32767.0;
  if (rounded < -32768.0) rounded = -32768.0;
  buffer_.push_back(LinearToUlaw(static_cast<std::int16_t>(rounded)));
  if (buffer_.size() >= (1u << 16)) Flush();
}

void UlawFileWriter::PutSilence(std::int64_t samples) {
  for (std::int64_t i = 0; i < samples; ++i) Put(0.0);
}

bool UlawFileWriter::Flush() {
  if (!file_ || !error_.empty()) {
    buffer_.clear();
    return false;
  }
  errno = 0;
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    error_ = std::strerror(errno ? errno : EIO);
  }
  buffer_.clear();
  return error_.empty();
}

bool UlawFileWriter::Close() {
  if (!file_) return false;
  Flush();
  errno = 0;
  if (std::fclose(file_) != 0 && error_.empty()) error_ = std::strerror(errno ? errno : EIO);
  file_ = nullptr;
  return error_.empty();
}

}  // namespace quorvane
