#include "callerid/dtmf_signalled.h"

#include <string>

namespace quorvane {
namespace {

// What information codes are commonly documented to mean; the receiver
// reports them as such, not as a standard's word.
const char* InformationCodeMeaning(const std::string& code) {
  if (code == "00") return "number unavailable";
  if (code == "10") return "number private";
  return "";
}

// Each key of the DTMF detector into the assembler; a closed string goes
// on as a message.
class KeysToMessages final : public DtmfKeySink {
 public:
  KeysToMessages(DtmfSignalledCallerId& d, CallerIdSink& sink) : d_(d), sink_(sink) {}
  void Key(const DtmfKeyEvent& event) override {
    if (event.key == 'A' || event.key == 'B' || event.key == 'D') {
      d_.levelSum = 0.0;
      d_.keyCount = 0;
    }
    d_.levelSum += event.measures->lowLevel;
    ++d_.keyCount;
    CallerIdMessageEvent message{};
    if (!DtmfCallerIdKey(d_.strings, event.key, event.start, message.info, message.start)) return;
    message.end = event.start + event.duration;
    message.plan = TonePlan::Auto;
    message.levelDbm0 = d_.levelSum / d_.keyCount;
    sink_.Message(message);
  }

 private:
  DtmfSignalledCallerId& d_;
  CallerIdSink& sink_;
};

}  // namespace

void DtmfSignalledInit(DtmfSignalledCallerId& d, const DtmfSignalledConfig& config) {
  (void)config;
  DtmfSignalledReset(d);
}

void DtmfSignalledReset(DtmfSignalledCallerId& d) {
  RobustDtmfInit(d.keys, {});
  DtmfCallerIdInit(d.strings);
  d.levelSum = 0.0;
  d.keyCount = 0;
}

void DtmfSignalledProcess(DtmfSignalledCallerId& d, const std::int16_t* samples, std::size_t count, CallerIdSink& sink) {
  KeysToMessages keys(d, sink);
  RobustDtmfProcess(d.keys, samples, count, keys);
}

void DtmfSignalledFinish(DtmfSignalledCallerId& d, CallerIdSink& sink) {
  KeysToMessages keys(d, sink);
  RobustDtmfFinish(d.keys, keys);
}

void DtmfCallerIdInit(DtmfCallerIdAssembler& a) { a = DtmfCallerIdAssembler{}; }

bool DtmfCallerIdKey(DtmfCallerIdAssembler& a, char key, std::int64_t sample, CallerIdInfo& message,
                     std::int64_t& startSample) {
  if (a.startKey != 0 && sample - a.lastSample > kDtmfCallerIdTimeout) a.startKey = 0;
  a.lastSample = sample;
  if (key == 'A' || key == 'B' || key == 'D') {
    a.startKey = key;
    a.count = 0;
    a.startSample = sample;
    return false;
  }
  if (a.startKey == 0) return false;
  if (key >= '0' && key <= '9') {
    if (a.count == kDtmfCallerIdMaxDigits) a.startKey = 0;
    else a.digits[a.count++] = key;
    return false;
  }
  const char opened = a.startKey;
  a.startKey = 0;
  if ((key != 'C' && key != '#') || a.count == 0) return false;
  const std::string digits(a.digits, static_cast<std::size_t>(a.count));
  message = CallerIdInfo{};
  message.type = CallerIdType::Dtmf;
  if (opened == 'A') {
    message.number = digits;
  } else if (opened == 'B') {
    message.redirectingNumber = digits;
  } else {
    message.informationCode = digits;
    message.commonMeaning = InformationCodeMeaning(digits);
    message.numberUnavailable = digits == "00";
    message.numberWithheld = digits == "10";
  }
  startSample = a.startSample;
  return true;
}

}  // namespace quorvane
