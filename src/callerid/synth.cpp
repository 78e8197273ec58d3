#include "callerid/synth.h"

#include <cmath>
#include <numbers>

#include "base/failure.h"
#include "codec/signal_gen.h"
#include "codec/ulaw.h"
#include "dtmf/synth.h"

namespace quorvane {
namespace {

constexpr double kBitRate = 1200.0;

bool AppendParameter(std::vector<std::uint8_t>& payload, std::uint8_t type, const std::vector<std::uint8_t>& value,
                     std::string* error) {
  if (value.size() > 255) {
    Fail(error, "a parameter is at most 255 bytes");
    return false;
  }
  payload.push_back(type);
  payload.push_back(static_cast<std::uint8_t>(value.size()));
  payload.insert(payload.end(), value.begin(), value.end());
  return true;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

bool ValidAbsence(char code) { return code == 'O' || code == 'P'; }

bool ValidCode(const std::optional<int>& code) { return !code || (*code >= 0 && *code <= 255); }

// The parameters of a multiple data message, in the order a network sends them.
bool MultipleParameters(const CallerIdSynthOptions& o, std::vector<std::uint8_t>& p, std::string* error) {
  const bool callSetup = !o.messageWaitingType;
  auto add = [&](std::uint8_t type, const std::vector<std::uint8_t>& value) {
    return AppendParameter(p, type, value, error);
  };
  auto code = [](const std::optional<int>& v) { return std::vector<std::uint8_t>{static_cast<std::uint8_t>(*v)}; };
  bool ok = o.dateTime.empty() || add(0x01, Bytes(o.dateTime));
  if (!o.number.empty()) ok = ok && add(0x02, Bytes(o.number));
  else if (callSetup) ok = ok && add(0x04, {static_cast<std::uint8_t>(o.numberAbsence)});
  if (!o.dialableNumber.empty()) ok = ok && add(0x03, Bytes(o.dialableNumber));
  if (!o.name.empty()) ok = ok && add(0x07, Bytes(o.name));
  else if (callSetup) ok = ok && add(0x08, {static_cast<std::uint8_t>(o.nameAbsence)});
  if (!o.callQualifier.empty()) ok = ok && add(0x06, Bytes(o.callQualifier));
  if (o.callType) ok = ok && add(0x11, code(o.callType));
  const std::optional<bool> waiting = o.messageWaitingType ? o.messageWaiting.value_or(true) : o.messageWaiting;
  if (waiting) ok = ok && add(0x0B, {static_cast<std::uint8_t>(*waiting ? 0xFF : 0x00)});
  if (o.messageCount) ok = ok && add(0x13, code(o.messageCount));
  if (!o.redirectingNumber.empty()) ok = ok && add(0x1A, Bytes(o.redirectingNumber));
  if (o.redirectReason) ok = ok && add(0x15, code(o.redirectReason));
  if (o.callingUserType) ok = ok && add(0x16, code(o.callingUserType));
  for (const auto& [type, value] : o.rawParameters) ok = ok && add(type, value);
  return ok;
}

bool SingleHasExtras(const CallerIdSynthOptions& o) {
  return !o.dialableNumber.empty() || !o.callQualifier.empty() || o.callType || o.messageCount ||
         !o.redirectingNumber.empty() || o.redirectReason || o.callingUserType || !o.rawParameters.empty() ||
         (!o.messageWaitingType && o.messageWaiting);
}

// The keys of DTMF caller ID: A number C, B redirecting number C, or D code C.
std::string DtmfKeys(const CallerIdSynthOptions& o, std::string* error) {
  auto digits = [](const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; };
  if (o.dtmfEndKey != 'C' && o.dtmfEndKey != '#') {
    Fail(error, "the DTMF end key is C or #");
    return "";
  }
  std::string keys;
  if (!o.informationCode.empty()) {
    if (!digits(o.informationCode) || !o.number.empty()) {
      Fail(error, "a DTMF information code is digits and is sent instead of a number");
      return "";
    }
    keys = "D" + o.informationCode + o.dtmfEndKey;
  } else if (digits(o.number)) {
    keys = "A" + o.number + o.dtmfEndKey;
  } else {
    Fail(error, "DTMF caller ID needs a number of digits or an information code");
    return "";
  }
  if (!o.redirectingNumber.empty()) {
    if (!digits(o.redirectingNumber)) {
      Fail(error, "a DTMF redirecting number is digits");
      return "";
    }
    keys += "B" + o.redirectingNumber + o.dtmfEndKey;
  }
  return keys;
}

}  // namespace

bool CheckCallerIdOptions(const CallerIdSynthOptions& o, std::string* error) {
  if (o.idleBits < 0 || o.idleBits > 1000) {
    Fail(error, "idle bits between characters are 0..1000");
    return false;
  }
  if (!(o.messageDelayBits >= 0.0 && o.messageDelayBits < 1.0)) {
    Fail(error, "the message delay is 0 up to 1 bit");
    return false;
  }
  return o.dtmf ? !DtmfKeys(o, error).empty() : BuildCallerIdMessage(o, error).has_value();
}

void AppendFskCharacter(std::vector<bool>& bits, std::uint8_t byte) {
  bits.push_back(false);
  for (int i = 0; i < 8; ++i) bits.push_back(((byte >> i) & 1) != 0);
  bits.push_back(true);
}

std::optional<std::vector<std::uint8_t>> BuildCallerIdMessage(const CallerIdSynthOptions& o, std::string* error) {
  const bool dateOptional = o.multipleDataMessage;
  if ((!dateOptional || !o.dateTime.empty()) &&
      (o.dateTime.size() != 8 || o.dateTime.find_first_not_of("0123456789") != std::string::npos)) {
    Fail(error, "the date and time must be eight digits MMDDHHMM");
    return std::nullopt;
  }
  if (!ValidAbsence(o.numberAbsence) || !ValidAbsence(o.nameAbsence)) {
    Fail(error, "an absence code is 'O' (unavailable) or 'P' (withheld)");
    return std::nullopt;
  }
  if (!ValidCode(o.callType) || !ValidCode(o.messageCount) || !ValidCode(o.redirectReason) ||
      !ValidCode(o.callingUserType)) {
    Fail(error, "a call type, message count, redirect reason or user type is 0..255");
    return std::nullopt;
  }
  std::vector<std::uint8_t> payload;
  std::uint8_t type;
  if (o.multipleDataMessage) {
    type = o.messageWaitingType ? 0x82 : 0x80;
    if (!MultipleParameters(o, payload, error)) return std::nullopt;
  } else if (o.messageWaitingType) {
    type = 0x06;
    if (!o.number.empty() || !o.name.empty() || SingleHasExtras(o)) {
      Fail(error, "a single message-waiting message carries only the indicator");
      return std::nullopt;
    }
    payload.assign(3, o.messageWaiting.value_or(true) ? 0x42 : 0x6F);
  } else {
    type = 0x04;
    if (!o.name.empty() || SingleHasExtras(o)) {
      Fail(error, "a single data message carries only the date, time and number");
      return std::nullopt;
    }
    payload.assign(o.dateTime.begin(), o.dateTime.end());
    const std::string number = o.number.empty() ? std::string(1, o.numberAbsence) : o.number;
    payload.insert(payload.end(), number.begin(), number.end());
  }
  if (payload.size() > 255) {
    Fail(error, "the message payload is longer than 255 bytes");
    return std::nullopt;
  }
  // Type and length go in front of the payload.
  std::vector<std::uint8_t> message = std::move(payload);
  message.insert(message.begin(), {type, static_cast<std::uint8_t>(message.size())});
  unsigned sum = 0;
  for (std::uint8_t b : message) sum += b;
  message.push_back(static_cast<std::uint8_t>(-sum & 0xFF));
  return message;
}

bool GenerateCallerId(const CallerIdSynthOptions& o, const std::function<void(double)>& emit, std::string* error) {
  if (!CheckCallerIdOptions(o, error)) return false;
  std::vector<bool> bits;
  std::size_t messageFrom = 0;
  std::string keys;
  if (o.dtmf) {
    keys = DtmfKeys(o, error);
  } else {
    const std::vector<std::uint8_t> message = *BuildCallerIdMessage(o, error);
    for (int i = 0; i < o.seizureBytes; ++i) AppendFskCharacter(bits, 0x55);
    const long markBits = std::lround(o.markMs * kBitRate / 1000.0);
    bits.insert(bits.end(), static_cast<std::size_t>(markBits), true);
    messageFrom = bits.size();
    for (std::size_t i = 0; i < message.size(); ++i) {
      if (i > 0) bits.insert(bits.end(), static_cast<std::size_t>(o.idleBits), true);
      AppendFskCharacter(bits, message[i]);
    }
    bits.insert(bits.end(), 6, true);  // a little mark after the checksum
  }

  const double peak = Dbm0ToPeak(o.levelDbm0);
  // FSK is one tone at a time, DTMF two at once.
  const double signalRms = o.dtmf ? peak : peak / std::sqrt(2.0);
  const double noiseRms = o.snrDb ? signalRms / std::pow(10.0, *o.snrDb / 20.0) : 0.0;
  GaussianNoise noise(o.seed);
  auto put = [&](double signal) { emit(noiseRms > 0.0 ? signal + noiseRms * noise.Next() : signal); };
  auto silence = [&](double ms) {
    for (std::int64_t i = MsToSamples(ms); i > 0; --i) put(0.0);
  };

  const double scale = 1.0 + o.freqOffsetPercent / 100.0;
  silence(o.leadMs);
  if (o.alert) {
    const double low = 2.0 * std::numbers::pi * 2130.0 * scale / kSampleRate;
    const double high = 2.0 * std::numbers::pi * 2750.0 * scale / kSampleRate;
    const std::int64_t n = MsToSamples(o.alertMs);
    for (std::int64_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i);
      put(peak * (std::sin(low * t) + std::sin(high * t)));
    }
    silence(o.alertGapMs);
  }
  if (o.dtmf) {
    for (char key : keys) {
      ModulateDtmfKey(DtmfKeyIndex(key), peak, peak, scale, MsToSamples(o.dtmfToneMs), put);
      silence(o.dtmfGapMs);
    }
  } else {
    const double mark = TonesOf(o.plan).mark * scale;
    const double space = TonesOf(o.plan).space * scale;
    ModulateFsk(bits, mark, space, peak, put, messageFrom, o.messageDelayBits);
  }
  silence(o.trailMs);
  return true;
}

bool CallerIdSamples(const CallerIdSynthOptions& o, std::vector<std::int16_t>* samples, std::string* error) {
  samples->clear();
  return GenerateCallerId(o, [&](double x) {
    const double rounded = std::fmin(32767.0, std::fmax(-32768.0, std::nearbyint(x)));
    samples->push_back(UlawToLinear(LinearToUlaw(static_cast<std::int16_t>(rounded))));
  }, error);
}

bool SynthesizeCallerId(const CallerIdSynthOptions& o, const std::string& path, std::string* error) {
  // Check the options before the file is touched.
  if (!CheckCallerIdOptions(o, error)) return false;
  UlawFileWriter writer;
  if (!writer.Open(path, error)) return false;
  GenerateCallerId(o, [&](double x) { writer.Put(x); }, error);
  return writer.Close(error);
}

}  // namespace quorvane
