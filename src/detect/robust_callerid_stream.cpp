#include "detect/robust_callerid_stream.h"

#include <cmath>
#include <cstdio>

#include "detect/frame_feeder.h"
#include "callerid/robust/receiver.h"

namespace quorvane {
namespace {

double Tenths(double value) { return std::round(value * 10.0) / 10.0; }

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    s += two;
  }
  return s;
}

// `tonePlan` is null for DTMF caller ID.
Json MessageJson(const CallerIdInfo& m, double time, const char* tonePlan) {
  Json j{{"time", time}, {"type", CallerIdTypeName(m.type)}};
  if (tonePlan) j["tonePlan"] = tonePlan;
  if (m.date) {
    j["date"] = Json{{"month", m.date->month}, {"day", m.date->day}, {"hour", m.date->hour}, {"minute", m.date->minute}};
  }
  j["number"] = m.number;
  j["name"] = m.name;
  j["numberWithheld"] = m.numberWithheld;
  j["numberUnavailable"] = m.numberUnavailable;
  j["nameWithheld"] = m.nameWithheld;
  j["nameUnavailable"] = m.nameUnavailable;
  if (!m.dialableNumber.empty()) j["dialableNumber"] = m.dialableNumber;
  if (!m.callQualifier.empty()) j["callQualifier"] = m.callQualifier;
  if (m.callType) {
    j["callType"] = *m.callType;
    if (*CallTypeMeaning(*m.callType)) j["callTypeMeaning"] = CallTypeMeaning(*m.callType);
  }
  if (m.messageWaiting) j["messageWaiting"] = *m.messageWaiting;
  if (m.messageCount) j["messageCount"] = *m.messageCount;
  if (!m.redirectingNumber.empty()) j["redirectingNumber"] = m.redirectingNumber;
  if (m.redirectReason) {
    j["redirectReason"] = *m.redirectReason;
    if (*RedirectReasonMeaning(*m.redirectReason)) j["redirectReasonMeaning"] = RedirectReasonMeaning(*m.redirectReason);
  }
  if (m.callingUserType) j["callingUserType"] = *m.callingUserType;
  if (!m.informationCode.empty()) {
    j["informationCode"] = m.informationCode;
    // Not a standard's word: what the code is commonly documented to mean.
    if (!m.commonMeaning.empty()) j["commonlyDocumentedMeaning"] = m.commonMeaning;
  }
  if (m.type != CallerIdType::Dtmf) {
    Json parameters = Json::array();
    for (const CallerIdRawParameter& p : m.parameters) parameters.push_back(Json{{"type", p.type}, {"hex", Hex(p.data)}});
    j["parameters"] = std::move(parameters);
  }
  return j;
}

class RobustCallerIdStream final : public StreamDetector {
 public:
  RobustCallerIdStream(const DetectorSettings& settings, DetectedEventHook hook)
      : receiver_(std::make_unique<RobustCallerIdReceiver>()), startSample_(settings.startSample), hook_(std::move(hook)) {
    const TonePlan plan = settings.v23 ? TonePlan::V23 : settings.bell ? TonePlan::Bell202 : TonePlan::Auto;
    RobustCallerIdEvents events;
    events.context = this;
    events.message = &RobustCallerIdStream::OnMessage;
    events.alert = &RobustCallerIdStream::OnAlert;
    RobustCallerIdInit(*receiver_, plan, events);
  }

  void Samples(const std::int16_t* samples, std::size_t count) override {
    RobustCallerIdProcess(*receiver_, samples, count);
  }
  void Finish() override { RobustCallerIdFinish(*receiver_); }
  std::string Failure() const override { return ""; }
  std::string Text() const override { return number_; }
  void AddTotals(Json& object) const override {
    object["number"] = number_;
    object["alerts"] = alerts_;
    object["rejected"] = receiver_->rejected;
  }

 private:
  double Seconds(std::int64_t sample) const { return SampleSeconds(startSample_ + sample); }

  static void OnMessage(void* context, const RobustCallerIdMessage& m) {
    auto* self = static_cast<RobustCallerIdStream*>(context);
    const char* plan = m.tonePlan == TonePlan::V23 ? "v23" : m.tonePlan == TonePlan::Bell202 ? "bell202" : nullptr;
    Json j = MessageJson(m.info, self->Seconds(m.startSample), plan);
    j["level"] = Tenths(m.levelDbm0);
    // A redirecting-number string alone leaves the answer to the calling number before it.
    const bool redirectOnly = m.info.type == CallerIdType::Dtmf && m.info.number.empty() && m.info.informationCode.empty();
    if (!redirectOnly) self->number_ = m.info.number;
    self->hook_(j);
  }

  static void OnAlert(void* context, const AlertTone& a) {
    auto* self = static_cast<RobustCallerIdStream*>(context);
    self->alerts_.push_back(Json{{"time", self->Seconds(a.startSample)},
                                 {"duration", SampleSeconds(a.samples)},
                                 {"level", Tenths(a.levelDbm0)},
                                 {"lowLevel", Tenths(a.lowLevelDbm0)},
                                 {"highLevel", Tenths(a.highLevelDbm0)}});
  }

  std::unique_ptr<RobustCallerIdReceiver> receiver_;  // large: the character history
  std::int64_t startSample_;
  DetectedEventHook hook_;
  std::string number_;
  Json alerts_ = Json::array();
};

}  // namespace

std::unique_ptr<StreamDetector> MakeRobustCallerIdStream(const DetectorSettings& settings, DetectedEventHook hook) {
  return std::make_unique<RobustCallerIdStream>(settings, std::move(hook));
}

}  // namespace quorvane
