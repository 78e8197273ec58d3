#include "fsk/fsk_run.h"

#include <memory>

#include "codec/pcm_raw_file.h"
#include "fsk/fsk_receiver.h"

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

  PcmRawFile file;
  if (!file.OpenAtRotatingOffset(path, startOffset)) {
    result.error = file.Error();
    return result;
  }
  result.opened = true;

  UlawFrame frame;
  collector.frameStart = file.Position();
  while (file.ReadFrame(frame)) {
    ++result.frames;
    if (receiver->ProcessFrame(frame.data(), kUlawFrameBytes) == 1) result.number = receiver->number;
    collector.frameStart = file.Position();
  }
  if (file.ReadFailed()) {
    result.readFailed = true;
    result.error = file.Error();
  }
  return result;
}

}  // namespace quorvane
