#include "detect/callerid_stream.h"

#include "detect/frame_feeder.h"
#include "callerid/exact/fsk_receiver.h"
#include "detect/robust_callerid_stream.h"

namespace quorvane {
namespace {

// The exact receiver, frame by frame as over a .pcm file: a message's time
// is the start of the frame in which it completed.
class ExactCallerIdStream final : public StreamDetector {
 public:
  ExactCallerIdStream(const DetectorSettings& settings, DetectedEventHook hook)
      : receiver_(std::make_unique<FskReceiver>()), feeder_(settings.startSample), hook_(std::move(hook)) {
    receiver_->Init(settings.v23 ? 2 : 1);
    // Nothing reads the filters between frames here.
    receiver_->boundary = FskCallBoundary::CarriedLevels;
    receiver_->acceptHook = &ExactCallerIdStream::OnAccept;
    receiver_->acceptContext = this;
  }

  void Samples(const std::int16_t* samples, std::size_t count) override {
    feeder_.Push(samples, count, [this](const std::int16_t* frame, std::int64_t frameStart) {
      frameStart_ = frameStart;
      if (receiver_->ProcessSamples(frame, kUlawFrameBytes) == 1) number_ = receiver_->number;
    });
  }
  void Finish() override {}
  std::string Failure() const override { return feeder_.Frames() == 0 ? kNoWholeFrame : ""; }
  std::string Text() const override { return number_; }
  void AddTotals(Json& object) const override { object["number"] = number_; }

 private:
  static void OnAccept(void* context, const FskReceiver& r) {
    auto* self = static_cast<ExactCallerIdStream*>(context);
    self->hook_(Json{{"time", SampleSeconds(self->frameStart_)},
                     {"type", r.messageType == kMultipleDataMessage ? "MDMF" : "SDMF"},
                     {"number", r.number},
                     {"name", r.name},
                     {"numberWithheld", (r.statusFlags & NumberWithheld) != 0},
                     {"numberUnavailable", (r.statusFlags & NumberUnavailable) != 0},
                     {"nameWithheld", (r.statusFlags & NameWithheld) != 0},
                     {"nameUnavailable", (r.statusFlags & NameUnavailable) != 0}});
  }

  // Large (the demodulator keeps a trace), so not inline.
  std::unique_ptr<FskReceiver> receiver_;
  FrameFeeder feeder_;
  DetectedEventHook hook_;
  std::int64_t frameStart_ = 0;
  std::string number_;
};

}  // namespace

StreamDetectorMaker CallerIdStreamDetectorMaker(DetectorProfile profile) {
  switch (profile) {
    case DetectorProfile::Exact:
      return [](const DetectorSettings& settings, DetectedEventHook hook) -> std::unique_ptr<StreamDetector> {
        return std::make_unique<ExactCallerIdStream>(settings, std::move(hook));
      };
    case DetectorProfile::Robust: return MakeRobustCallerIdStream;
  }
  return nullptr;
}

}  // namespace quorvane
