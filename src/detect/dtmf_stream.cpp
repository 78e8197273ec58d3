#include "detect/dtmf_stream.h"

#include "detect/frame_feeder.h"
#include "dtmf/exact/dtmf_channel.h"
#include "detect/robust_dtmf_stream.h"

namespace quorvane {
namespace {

// The exact detector, frame by frame as over a .pcm file: an event's time
// is the start of the frame that reported it.
class ExactDtmfStream final : public StreamDetector {
 public:
  ExactDtmfStream(const DetectorSettings& settings, DetectedEventHook hook)
      : feeder_(settings.startSample), hook_(std::move(hook)) {}

  void Samples(const std::int16_t* samples, std::size_t count) override {
    feeder_.PushFrames(samples, count, [this](const std::int16_t* frames, std::int64_t frameCount, std::int64_t firstStart) {
      found_.clear();
      channel_.ProcessSampleFrames(frames, frameCount, found_);
      for (const DtmfFrameDigit& f : found_) {
        digits_.push_back(f.digit);
        hook_(Json{{"digit", std::string(1, f.digit)},
                   {"time", SampleSeconds(firstStart + f.frame * kUlawFrameBytes)},
                   {"source", "audio"}});
      }
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
  std::vector<DtmfFrameDigit> found_;
};

}  // namespace

StreamDetectorMaker DtmfStreamDetectorMaker(DetectorProfile profile) {
  switch (profile) {
    case DetectorProfile::Exact:
      return [](const DetectorSettings& settings, DetectedEventHook hook) -> std::unique_ptr<StreamDetector> {
        return std::make_unique<ExactDtmfStream>(settings, std::move(hook));
      };
    case DetectorProfile::Robust: return MakeRobustDtmfStream;
  }
  return nullptr;
}

}  // namespace quorvane
