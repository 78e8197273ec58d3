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

bool RunFskDetection(PcmRawFile& file, FskRunResult* result, std::string* error, TonePlan plan) {
  *result = FskRunResult{};
  const auto receiver = std::make_unique<ExactCallerId>();
  ExactCallerIdInit(*receiver, {plan, FskCallBoundary::Exact});
  RunMessages messages(*result);
  const auto samples = std::make_unique<std::int16_t[]>(kFramesPerRead * kUlawFrameBytes);
  result->frames = ReadFrameBlocks(file, [&](std::uint8_t* frames, std::int64_t count, std::int64_t start) {
    if (messages.firstByte < 0) messages.firstByte = start;
    const auto n = static_cast<int>(count * kUlawFrameBytes);
    UlawBufferToLinear(frames, samples.get(), n);
    ExactCallerIdProcess(*receiver, samples.get(), static_cast<std::size_t>(n), messages);
  });
  ExactCallerIdFinish(*receiver, messages);
  return file.ReadsSucceeded(error);
}

}  // namespace quorvane
