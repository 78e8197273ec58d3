#include "detect/stream_detector.h"

#include "base/failure.h"
#include "callerid/exact/exact_callerid.h"
#include "callerid/robust/receiver.h"
#include "dtmf/exact/exact_dtmf.h"
#include "dtmf/robust/detector.h"

namespace quorvane {
namespace {

// The exact detectors' answer to a stream without one whole frame.
constexpr const char* kNoWholeFrame = "no whole 20 ms frame (160 samples) after the start offset: nothing to detect";

// Passes events on with their positions moved from the first sample fed to
// the start of the stream.
class Shifted final : public DetectionEvents {
 public:
  Shifted(std::int64_t by, DetectionEvents& out) : by_(by), out_(out) {}
  void Key(const DtmfKeyEvent& event) override {
    DtmfKeyEvent e = event;
    e.start += by_;
    out_.Key(e);
  }
  void Message(const CallerIdMessageEvent& event) override {
    CallerIdMessageEvent e = event;
    e.start += by_;
    e.end += by_;
    out_.Message(e);
  }
  void Alert(const AlertTone& alert) override {
    AlertTone a = alert;
    a.startSample += by_;
    out_.Alert(a);
  }

 private:
  std::int64_t by_;
  DetectionEvents& out_;
};

// Any detector of the contract, given its four functions. The state is
// large for the receivers, so it lives on the heap with the adapter.
template <typename State, typename Config, typename Sink, auto InitFn, auto ProcessFn, auto FinishFn>
class ContractDetector final : public StreamDetector {
 public:
  ContractDetector(const Config& config, std::int64_t startSample, DetectionEvents& events)
      : state_(std::make_unique<State>()), events_(startSample, events) {
    InitFn(*state_, config);
  }
  void Samples(const std::int16_t* samples, std::size_t count) override {
    ProcessFn(*state_, samples, count, static_cast<Sink&>(events_));
    fed_ += static_cast<std::int64_t>(count);
  }
  bool Finish(std::string* error) override {
    FinishFn(*state_, static_cast<Sink&>(events_));
    return Answered(error);
  }
  std::optional<int> Rejected() const override;

 private:
  bool Answered(std::string* error) const;

  std::unique_ptr<State> state_;
  Shifted events_;
  std::int64_t fed_ = 0;
};

using ExactDtmfDetector = ContractDetector<ExactDtmf, ExactDtmfConfig, DtmfKeySink, ExactDtmfInit, ExactDtmfProcess,
                                           ExactDtmfFinish>;
using RobustDtmfStreamDetector = ContractDetector<RobustDtmfDetector, RobustDtmfConfig, DtmfKeySink, RobustDtmfInit,
                                                  RobustDtmfProcess, RobustDtmfFinish>;
using ExactCallerIdDetector = ContractDetector<ExactCallerId, ExactCallerIdConfig, CallerIdSink, ExactCallerIdInit,
                                               ExactCallerIdProcess, ExactCallerIdFinish>;
using RobustCallerIdDetector = ContractDetector<RobustCallerIdReceiver, RobustCallerIdConfig, CallerIdSink,
                                                RobustCallerIdInit, RobustCallerIdProcess, RobustCallerIdFinish>;

template <>
bool ExactDtmfDetector::Answered(std::string* error) const {
  return state_->cutter.frames > 0 || Fail(error, kNoWholeFrame);
}
template <>
bool RobustDtmfStreamDetector::Answered(std::string* error) const {
  return fed_ > 0 || Fail(error, "no samples after the start offset: nothing to detect");
}
template <>
bool ExactCallerIdDetector::Answered(std::string* error) const {
  return state_->cutter.frames > 0 || Fail(error, kNoWholeFrame);
}
// The robust receiver answers every stream, an empty one with no message.
template <>
bool RobustCallerIdDetector::Answered(std::string*) const {
  return true;
}

template <typename State, typename Config, typename Sink, auto InitFn, auto ProcessFn, auto FinishFn>
std::optional<int> ContractDetector<State, Config, Sink, InitFn, ProcessFn, FinishFn>::Rejected() const {
  return std::nullopt;
}
template <>
std::optional<int> RobustCallerIdDetector::Rejected() const {
  return RobustCallerIdRejected(*state_);
}

}  // namespace

std::unique_ptr<StreamDetector> MakeStreamDetector(const DetectorSettings& s, DetectionEvents& events) {
  const bool robust = s.profile == DetectorProfile::Robust;
  if (s.kind == DetectorKind::Dtmf) {
    if (robust) return std::make_unique<RobustDtmfStreamDetector>(RobustDtmfConfig{}, s.startSample, events);
    return std::make_unique<ExactDtmfDetector>(ExactDtmfConfig{}, s.startSample, events);
  }
  if (robust) return std::make_unique<RobustCallerIdDetector>(RobustCallerIdConfig{s.plan}, s.startSample, events);
  // Nothing reads the filters between frames here.
  const TonePlan plan = s.plan == TonePlan::V23 ? TonePlan::V23 : TonePlan::Bell202;
  return std::make_unique<ExactCallerIdDetector>(ExactCallerIdConfig{plan, FskCallBoundary::CarriedLevels}, s.startSample,
                                                 events);
}

}  // namespace quorvane
