#include "report/events_json.h"

#include <cmath>
#include <cstdio>

namespace quorvane {
namespace {

// Levels and ratios to a tenth of a decibel; more would be false precision.
double Tenths(float value) { return std::round(value * 10.0) / 10.0 + 0.0; }  // + 0.0: never -0.0
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
Json RobustMessageJson(const CallerIdInfo& m, double time, const char* tonePlan) {
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

}  // namespace

Json KeyJson(const DtmfKeyEvent& e) {
  Json j{{"digit", std::string(1, e.key)}, {"time", SampleSeconds(e.start)}};
  if (!e.measures) {
    j["source"] = "audio";
    return j;
  }
  j["duration"] = SampleSeconds(e.duration);
  j["source"] = "audio";
  j["lowLevel"] = Tenths(e.measures->lowLevel);
  j["highLevel"] = Tenths(e.measures->highLevel);
  j["twist"] = Tenths(e.measures->twist);
  j["snr"] = Tenths(e.measures->snr);
  return j;
}

Json TelephoneEventJson(const io::TelephoneEvent& e) {
  return Json{{"digit", std::string(1, e.key)},
              {"time", SampleSeconds(e.startSample)},
              {"duration", SampleSeconds(e.durationSamples)},
              {"source", "rtp-event"}};
}

Json MessageJson(const CallerIdMessageEvent& e, DetectorProfile profile) {
  const CallerIdInfo& m = e.info;
  if (profile == DetectorProfile::Exact) {
    return Json{{"time", SampleSeconds(e.start)},
                {"type", CallerIdTypeName(m.type)},
                {"number", m.number},
                {"name", m.name},
                {"numberWithheld", m.numberWithheld},
                {"numberUnavailable", m.numberUnavailable},
                {"nameWithheld", m.nameWithheld},
                {"nameUnavailable", m.nameUnavailable}};
  }
  const char* plan = e.plan == TonePlan::V23 ? "v23" : e.plan == TonePlan::Bell202 ? "bell202" : nullptr;
  Json j = RobustMessageJson(m, SampleSeconds(e.start), plan);
  j["level"] = Tenths(e.levelDbm0.value_or(0.0));
  return j;
}

Json AlertJson(const AlertTone& a) {
  return Json{{"time", SampleSeconds(a.startSample)},
              {"duration", SampleSeconds(a.samples)},
              {"level", Tenths(a.levelDbm0)},
              {"lowLevel", Tenths(a.lowLevelDbm0)},
              {"highLevel", Tenths(a.highLevelDbm0)}};
}

}  // namespace quorvane
