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

class Check final : public quorvane::DtmfKeySink {
 public:
  void Key(const quorvane::DtmfKeyEvent& e) override {
    if (e.duration < 0 || e.start < previousEnd || e.start + e.duration > fed || !e.measures) std::abort();
    if (e.key == 0 || std::strchr("123A456B789C*0#D", e.key) == nullptr) std::abort();
    previousEnd = e.start + e.duration;
  }
  std::int64_t previousEnd = 0;
  std::int64_t fed = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  quorvane::RobustDtmfDetector detector;
  quorvane::RobustDtmfInit(detector, {});
  Check check;
  while (input.remaining_bytes() > 0) {
    const int count = input.ConsumeIntegralInRange<int>(0, 2000);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count), 0);
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(samples.size() * 2);
    if (bytes.size() > 1) std::memcpy(samples.data(), bytes.data(), bytes.size() & ~std::size_t{1});
    check.fed += count;
    quorvane::RobustDtmfProcess(detector, samples.data(), samples.size(), check);
  }
  quorvane::RobustDtmfFinish(detector, check);
  return 0;
}
