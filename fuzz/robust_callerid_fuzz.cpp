// The robust caller-ID receiver on arbitrary 16-bit samples in arbitrary
// call sizes, any tone-plan setting, and the end of the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "callerid/robust/receiver.h"

namespace {

class Check final : public quorvane::CallerIdSink {
 public:
  void Message(const quorvane::CallerIdMessageEvent& m) override {
    if (m.end < m.start || !m.levelDbm0 || !(*m.levelDbm0 <= 10.0)) std::abort();
    if ((m.plan == quorvane::TonePlan::Auto) != (m.info.type == quorvane::CallerIdType::Dtmf)) std::abort();
  }
  void Alert(const quorvane::AlertTone& a) override {
    if (a.samples <= 0) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto plan = static_cast<quorvane::TonePlan>(input.ConsumeIntegralInRange<int>(0, 2));
  auto receiver = std::make_unique<quorvane::RobustCallerIdReceiver>();
  Check check;
  quorvane::RobustCallerIdInit(*receiver, {plan});
  while (input.remaining_bytes() > 0) {
    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 1200);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < count && input.remaining_bytes() >= 2; ++i) {
      samples.push_back(input.ConsumeIntegral<std::int16_t>());
    }
    quorvane::RobustCallerIdProcess(*receiver, samples.data(), samples.size(), check);
    for (const auto& history : receiver->histories) {
      if (history.count < 0 || history.count > quorvane::kRobustHistory) std::abort();
    }
    if (receiver->rejected < 0) std::abort();
  }
  // The end of the input decides what is held back and reads a burst
  // without a message again.
  quorvane::RobustCallerIdFinish(*receiver, check);
  if (receiver->rejected < 0) std::abort();
  return 0;
}
