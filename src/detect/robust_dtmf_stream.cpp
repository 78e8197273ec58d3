#include "detect/robust_dtmf_stream.h"

#include <cmath>
#include <string>

#include "detect/frame_feeder.h"
#include "dtmf/robust/detector.h"

namespace quorvane {
namespace {

// Levels and ratios to a tenth of a decibel; more would be false precision.
double Tenths(float value) { return std::round(value * 10.0) / 10.0 + 0.0; }  // + 0.0: never -0.0

class RobustDtmfStream final : public StreamDetector {
 public:
  RobustDtmfStream(const DetectorSettings& settings, DetectedEventHook hook)
      : startSample_(settings.startSample), hook_(std::move(hook)) {
    RobustDtmfInit(&detector_);
  }

  void Samples(const std::int16_t* samples, std::size_t count) override {
    RobustDtmfProcess(&detector_, samples, static_cast<std::int64_t>(count), OnEvent, this);
    fed_ += static_cast<std::int64_t>(count);
  }
  void Finish() override { RobustDtmfFinish(&detector_, OnEvent, this); }
  std::string Failure() const override { return fed_ == 0 ? "no samples after the start offset: nothing to detect" : ""; }
  std::string Text() const override { return digits_; }
  void AddTotals(Json& object) const override { object["digits"] = digits_; }

 private:
  static void OnEvent(void* context, const RobustDtmfEvent& e) {
    auto* self = static_cast<RobustDtmfStream*>(context);
    self->digits_.push_back(e.digit);
    self->hook_(Json{{"digit", std::string(1, e.digit)},
                     {"time", SampleSeconds(self->startSample_ + e.start)},
                     {"duration", SampleSeconds(e.duration)},
                     {"source", "audio"},
                     {"lowLevel", Tenths(e.lowLevel)},
                     {"highLevel", Tenths(e.highLevel)},
                     {"twist", Tenths(e.twist)},
                     {"snr", Tenths(e.snr)}});
  }

  RobustDtmfDetector detector_;
  std::int64_t startSample_;
  std::int64_t fed_ = 0;
  DetectedEventHook hook_;
  std::string digits_;
};

}  // namespace

std::unique_ptr<StreamDetector> MakeRobustDtmfStream(const DetectorSettings& settings, DetectedEventHook hook) {
  return std::make_unique<RobustDtmfStream>(settings, std::move(hook));
}

}  // namespace quorvane
