#include "detect/stream_detector.h"

#include <vector>

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
// large for the receivers, so it lives on the heap with the adapter; when
// deferred, it is made once the samples held for it reach an eighth of its
// size (a small state is made at once).
template <typename State, typename Config, typename Sink, auto InitFn, auto ProcessFn, auto FinishFn>
class ContractDetector final : public StreamDetector {
 public:
  ContractDetector(const Config& config, const DetectorSettings& settings, DetectionEvents& events)
      : config_(config), events_(settings.startSample, events) {
    if (!settings.deferLargeState || sizeof(State) < kSmallState) Make();
  }
  void Samples(const std::int16_t* samples, std::size_t count) override {
    fed_ += static_cast<std::int64_t>(count);
    if (state_) {
      ProcessFn(*state_, samples, count, static_cast<Sink&>(events_));
      return;
    }
    held_.insert(held_.end(), samples, samples + count);
    if (held_.size() * sizeof held_[0] * 8 >= sizeof(State)) Make();
  }
  bool Finish(std::string* error) override {
    if (!state_) Make();
    FinishFn(*state_, static_cast<Sink&>(events_));
    return Answered(error);
  }
  std::optional<int> Rejected() const override;

 private:
  static constexpr std::size_t kSmallState = 4096;

  // Makes the state and gives it the samples held so far. Init makes every
  // part of it that is read ready, so the memory is not cleared first: a
  // capture of many short streams would spend its time clearing receivers.
  void Make() {
    state_ = std::make_unique_for_overwrite<State>();
    InitFn(*state_, config_);
    if (!held_.empty()) ProcessFn(*state_, held_.data(), held_.size(), static_cast<Sink&>(events_));
    std::vector<std::int16_t>().swap(held_);
  }
  bool Answered(std::string* error) const;

  Config config_;
  std::unique_ptr<State> state_;
  std::vector<std::int16_t> held_;
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
  return state_ ? RobustCallerIdRejected(*state_) : 0;
}

}  // namespace

std::unique_ptr<StreamDetector> MakeStreamDetector(const DetectorSettings& s, DetectionEvents& events) {
  const bool robust = s.profile == DetectorProfile::Robust;
  if (s.kind == DetectorKind::Dtmf) {
    if (robust) return std::make_unique<RobustDtmfStreamDetector>(RobustDtmfConfig{}, s, events);
    return std::make_unique<ExactDtmfDetector>(ExactDtmfConfig{}, s, events);
  }
  if (robust) return std::make_unique<RobustCallerIdDetector>(RobustCallerIdConfig{s.plan}, s, events);
  // Nothing reads the filters between frames here.
  const TonePlan plan = s.plan == TonePlan::V23 ? TonePlan::V23 : TonePlan::Bell202;
  return std::make_unique<ExactCallerIdDetector>(ExactCallerIdConfig{plan, FskCallBoundary::CarriedLevels}, s, events);
}

}  // namespace quorvane
