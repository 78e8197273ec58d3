#include "runs/fsk_run.h"

#include <memory>

#include "callerid/exact/fsk_receiver.h"

namespace quorvane {
namespace {

struct Collector {
  FskRunResult* result;
  std::int64_t frameStart;
};

void Collect(void* context, const FskReceiver& receiver) {
  auto* collector = static_cast<Collector*>(context);
  collector->result->messages.push_back({collector->frameStart, receiver.messageType, receiver.number,
                                         receiver.name, receiver.statusFlags});
}

}  // namespace

std::int32_t& FskStartOffset() {
  static std::int32_t offset = 0;
  return offset;
}

FskRunResult RunFskDetection(const std::string& path, std::int32_t& startOffset, std::int32_t mode) {
  FskRunResult result;
  // Large (the demodulator keeps a trace), so not on the stack.
  auto receiver = std::make_unique<FskReceiver>();
  receiver->Init(mode);
  Collector collector{&result, 0};
  receiver->acceptHook = Collect;
  receiver->acceptContext = &collector;

  RunOverFrameBlocks(path, startOffset, result, [&](std::uint8_t* frames, std::int64_t count, std::int64_t start) {
    for (std::int64_t i = 0; i < count; ++i) {
      collector.frameStart = start + i * kUlawFrameBytes;
      if (receiver->ProcessFrame(frames + i * kUlawFrameBytes, kUlawFrameBytes) == 1) result.number = receiver->number;
    }
  });
  return result;
}

}  // namespace quorvane
