#include "runs/dtmf_run.h"

#include <memory>

#include "dtmf/exact/exact_dtmf.h"

namespace quorvane {
namespace {

// Each key into the result, at its frame's file position.
class RunKeys final : public DtmfKeySink {
 public:
  RunKeys(DtmfRunResult& result, bool keepEvents) : result_(result), keepEvents_(keepEvents) {}
  void Key(const DtmfKeyEvent& event) override {
    result_.digits.push_back(event.key);
    if (!keepEvents_) return;
    DtmfKeyEvent atByte = event;
    atByte.start += firstByte;
    result_.events.push_back(atByte);
  }
  std::int64_t firstByte = -1;  // file position of the first frame

 private:
  DtmfRunResult& result_;
  bool keepEvents_;
};

}  // namespace

std::int32_t& DtmfStartOffset() {
  static std::int32_t offset = 0;
  return offset;
}

bool RunDtmfDetection(PcmRawFile& file, DtmfRunResult* result, std::string* error, bool keepEvents) {
  *result = DtmfRunResult{};
  ExactDtmf detector;
  ExactDtmfInit(detector, {});
  RunKeys keys(*result, keepEvents);
  const auto samples = std::make_unique<std::int16_t[]>(kFramesPerRead * kUlawFrameBytes);
  result->frames = ReadFrameBlocks(file, [&](std::uint8_t* frames, std::int64_t count, std::int64_t start) {
    if (keys.firstByte < 0) keys.firstByte = start;
    const auto n = static_cast<int>(count * kUlawFrameBytes);
    UlawBufferToLinear(frames, samples.get(), n);
    ExactDtmfProcess(detector, samples.get(), static_cast<std::size_t>(n), keys);
  });
  ExactDtmfFinish(detector, keys);
  return file.ReadsSucceeded(error);
}

}  // namespace quorvane
