// The robust DTMF detector on arbitrary 16-bit samples in arbitrary call
// sizes: every event has a non-negative duration, a key, and starts no earlier
// than the previous event ended.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dtmf/robust/detector.h"

namespace {

struct Check {
  std::int64_t previousEnd = 0;
  std::int64_t fed = 0;
};

void OnEvent(void* context, const quorvane::RobustDtmfEvent& e) {
  Check& check = *static_cast<Check*>(context);
  if (e.duration < 0 || e.start < check.previousEnd || e.start + e.duration > check.fed) std::abort();
  if (e.digit == 0 || std::strchr("123A456B789C*0#D", e.digit) == nullptr) std::abort();
  check.previousEnd = e.start + e.duration;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  quorvane::RobustDtmfDetector detector;
  quorvane::RobustDtmfInit(&detector);
  Check check;
  while (input.remaining_bytes() > 0) {
    const int count = input.ConsumeIntegralInRange<int>(0, 2000);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count), 0);
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(samples.size() * 2);
    if (bytes.size() > 1) std::memcpy(samples.data(), bytes.data(), bytes.size() & ~std::size_t{1});
    check.fed += count;
    quorvane::RobustDtmfProcess(&detector, samples.data(), count, OnEvent, &check);
  }
  quorvane::RobustDtmfFinish(&detector, OnEvent, &check);
  return 0;
}
