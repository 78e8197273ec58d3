// DtmfChannel::ProcessFrame on arbitrary bytes, with arbitrary counts
// (0 to 1000) per call.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dtmf/exact/dtmf_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  quorvane::DtmfChannel channel;
  channel.writeBack = input.ConsumeBool();
  int reported = 0;
  while (input.remaining_bytes() > 0) {
    const int count = input.ConsumeIntegralInRange<int>(0, 1000);
    std::vector<std::uint8_t> frame = input.ConsumeBytes<std::uint8_t>(static_cast<std::size_t>(count));
    frame.resize(static_cast<std::size_t>(count), 0xFF);
    char digit = 'x';
    const int result = channel.ProcessFrame(frame.data(), count, &digit);
    if (count > quorvane::DtmfChannel::kMaxFrameBytes ? result != -1 : result != 0) std::abort();
    if (digit != 0) ++reported;
    // The record is cut back before it can fill, so every digit is reported.
    if (channel.detector.digitCount > 102 || channel.detector.overflowCount != 0) std::abort();
    if (channel.detector.blockFill < 0 || channel.detector.blockFill >= quorvane::kDtmfBlockSize) std::abort();
  }
  return 0;
}
