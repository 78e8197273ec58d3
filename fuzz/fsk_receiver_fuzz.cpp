// FskReceiver::ProcessFrame on arbitrary bytes in arbitrary call sizes,
// Bell 202 or V.23.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "callerid/exact/fsk_receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  auto receiver = std::make_unique<quorvane::FskReceiver>();
  receiver->Init(input.ConsumeBool() ? 2 : 1);
  while (input.remaining_bytes() > 0) {
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 2000);
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(length);
    const int result = receiver->ProcessFrame(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (result < -1 || result > 1) std::abort();
    // Fewer than 160 samples are ever carried, and the texts stay terminated.
    if (receiver->carryBytes < 0 || receiver->carryBytes >= 2 * 160) std::abort();
    if (std::memchr(receiver->number, 0, sizeof receiver->number) == nullptr) std::abort();
    if (std::memchr(receiver->name, 0, sizeof receiver->name) == nullptr) std::abort();
  }
  return 0;
}
