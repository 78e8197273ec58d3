#include "dtmf/dtmf_stream.h"

#include "detect/frame_feeder.h"
#include "dtmf/dtmf_channel.h"

namespace quorvane {
namespace {

// The exact detector, frame by frame as over a .pcm file: an event's time
// is the start of the frame that reported it.
class ExactDtmfStream final : public StreamDetector {
 public:
  ExactDtmfStream(const DetectorSettings& settings, DetectedEventHook hook)
      : feeder_(settings.startSample), hook_(std::move(hook)) {}

  void Samples(const std::int16_t* samples, std::size_t count) override {
    feeder_.Push(samples, count, [this](const std::int16_t* frame, std::int64_t frameStart) {
      char digit = 0;
      channel_.ProcessSamples(frame, kUlawFrameBytes, &digit);
      if (digit == 0) return;
      digits_.push_back(digit);
      hook_(Json{{"digit", std::string(1, digit)}, {"time", SampleSeconds(frameStart)}, {"source", "audio"}});
    });
  }
  void Finish() override {}
  std::string Failure() const override { return feeder_.Frames() == 0 ? kNoWholeFrame : ""; }
  std::string Text() const override { return digits_; }
  void AddTotals(Json& object) const override { object["digits"] = digits_; }

 private:
  DtmfChannel channel_;
  FrameFeeder feeder_;
  DetectedEventHook hook_;
  std::string digits_;
};

}  // namespace

StreamDetectorMaker DtmfStreamDetectorMaker(DetectorProfile profile) {
  switch (profile) {
    case DetectorProfile::Exact:
      return [](const DetectorSettings& settings, DetectedEventHook hook) -> std::unique_ptr<StreamDetector> {
        return std::make_unique<ExactDtmfStream>(settings, std::move(hook));
      };
    case DetectorProfile::Robust: return nullptr;
  }
  return nullptr;
}

}  // namespace quorvane
