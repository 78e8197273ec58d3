// The latest samples of a stream, kept so that a message can be read again
// after its characters are known. Long enough for the longest caller-ID
// message: 260 characters with up to 20 idle bits each, about 52 000
// samples at 8000 samples/s.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvane {

inline constexpr int kSampleRingBits = 16;
inline constexpr std::int64_t kSampleRingSize = std::int64_t{1} << kSampleRingBits;

struct FskSampleRing {
  std::int16_t samples[kSampleRingSize];
  std::int64_t next;  // absolute index of the next sample to be put
};

inline void FskSampleRingPut(FskSampleRing& ring, const std::int16_t* samples, std::size_t count) {
  // Only the last ring's worth can be kept.
  if (count > static_cast<std::size_t>(kSampleRingSize)) {
    ring.next += static_cast<std::int64_t>(count) - kSampleRingSize;
    samples += count - static_cast<std::size_t>(kSampleRingSize);
    count = static_cast<std::size_t>(kSampleRingSize);
  }
  const auto at = static_cast<std::size_t>(ring.next & (kSampleRingSize - 1));
  const std::size_t first = std::min(count, static_cast<std::size_t>(kSampleRingSize) - at);
  std::memcpy(ring.samples + at, samples, first * sizeof samples[0]);
  std::memcpy(ring.samples, samples + first, (count - first) * sizeof samples[0]);
  ring.next += static_cast<std::int64_t>(count);
}

// Sample `n`, or silence where the ring no longer (or does not yet) hold it.
inline std::int16_t FskSampleRingAt(const FskSampleRing& ring, std::int64_t n) {
  if (n < 0 || n >= ring.next || ring.next - n > kSampleRingSize) return 0;
  return ring.samples[n & (kSampleRingSize - 1)];
}

}  // namespace quorvane
