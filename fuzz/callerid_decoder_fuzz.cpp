// The caller-ID message state machine fed characters directly, so both
// message types, acceptance and the parameter walk are reached at once.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "callerid/exact/fsk_receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto receiver = std::make_unique<quorvane::FskReceiver>();
  receiver->Init(1);
  for (std::size_t i = 0; i < size; ++i) {
    const int result = receiver->DecodeCharacter(data[i]);
    if (result < -1 || result > 1) std::abort();
    if (receiver->payloadPos < 0 || receiver->payloadPos > quorvane::kMaxPayloadBytes) std::abort();
    if (result == 1) {
      if (std::strlen(receiver->number) > 63 || std::strlen(receiver->name) > 32) std::abort();
      if (receiver->number[0] == 0 && (receiver->statusFlags & 0xA) == 0) std::abort();
      if (receiver->name[0] == 0 && (receiver->statusFlags & 0x5) == 0) std::abort();
    }
  }
  return 0;
}
