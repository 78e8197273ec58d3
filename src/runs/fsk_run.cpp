#include "runs/fsk_run.h"

#include <memory>

#include "callerid/exact/exact_callerid.h"

namespace quorvane {
namespace {

// Each message into the result, at its frame's file position.
class RunMessages final : public CallerIdSink {
 public:
  explicit RunMessages(FskRunResult& result) : result_(result) {}
  void Message(const CallerIdMessageEvent& event) override {
    result_.number = event.info.number;
    CallerIdMessageEvent atByte = event;
    atByte.start += firstByte;
    atByte.end += firstByte;
    result_.messages.push_back(atByte);
  }
  std::int64_t firstByte = -1;  // file position of the first frame

 private:
  FskRunResult& result_;
};

}  // namespace

std::int32_t& FskStartOffset() {
  static std::int32_t offset = 0;
  return offset;
}

FskRunResult RunFskDetection(const std::string& path, std::int32_t& startOffset, TonePlan plan) {
  FskRunResult result;
  const auto receiver = std::make_unique<ExactCallerId>();
  ExactCallerIdInit(*receiver, {plan, FskCallBoundary::Exact});
  RunMessages messages(result);
  const auto samples = std::make_unique<std::int16_t[]>(kFramesPerRead * kUlawFrameBytes);
  RunOverFrameBlocks(path, startOffset, result, [&](std::uint8_t* frames, std::int64_t count, std::int64_t start) {
    if (messages.firstByte < 0) messages.firstByte = start;
    const auto n = static_cast<int>(count * kUlawFrameBytes);
    UlawBufferToLinear(frames, samples.get(), n);
    ExactCallerIdProcess(*receiver, samples.get(), static_cast<std::size_t>(n), messages);
  });
  ExactCallerIdFinish(*receiver, messages);
  return result;
}

}  // namespace quorvane
