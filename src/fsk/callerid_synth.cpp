#include "fsk/callerid_synth.h"

#include <cmath>

#include "codec/signal_gen.h"
#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr double kBitRate = 1200.0;

void AppendParameter(std::vector<std::uint8_t>& payload, std::uint8_t type, const std::string& value) {
  payload.push_back(type);
  payload.push_back(static_cast<std::uint8_t>(value.size()));
  payload.insert(payload.end(), value.begin(), value.end());
}

bool ValidAbsence(char code) { return code == 'O' || code == 'P'; }

}  // namespace

void AppendFskCharacter(std::vector<bool>& bits, std::uint8_t byte) {
  bits.push_back(false);
  for (int i = 0; i < 8; ++i) bits.push_back(((byte >> i) & 1) != 0);
  bits.push_back(true);
}

std::vector<std::uint8_t> BuildCallerIdMessage(const CallerIdSynthOptions& o, std::string& error) {
  if (o.dateTime.size() != 8 || o.dateTime.find_first_not_of("0123456789") != std::string::npos) {
    error = "the date and time must be eight digits MMDDHHMM";
    return {};
  }
  if (!ValidAbsence(o.numberAbsence) || !ValidAbsence(o.nameAbsence)) {
    error = "an absence code is 'O' (unavailable) or 'P' (withheld)";
    return {};
  }
  std::vector<std::uint8_t> payload;
  std::uint8_t type;
  if (o.multipleDataMessage) {
    type = 0x80;
    if (o.number.size() > 255 || o.name.size() > 255) {
      error = "a number or name is at most 255 characters";
      return {};
    }
    AppendParameter(payload, 0x01, o.dateTime);
    if (o.number.empty()) AppendParameter(payload, 0x04, std::string(1, o.numberAbsence));
    else AppendParameter(payload, 0x02, o.number);
    if (o.name.empty()) AppendParameter(payload, 0x08, std::string(1, o.nameAbsence));
    else AppendParameter(payload, 0x07, o.name);
  } else {
    type = 0x04;
    if (!o.name.empty()) {
      error = "a single data message carries no name";
      return {};
    }
    payload.assign(o.dateTime.begin(), o.dateTime.end());
    const std::string number = o.number.empty() ? std::string(1, o.numberAbsence) : o.number;
    payload.insert(payload.end(), number.begin(), number.end());
  }
  if (payload.size() > 255) {
    error = "the message payload is longer than 255 bytes";
    return {};
  }
  std::vector<std::uint8_t> message{type, static_cast<std::uint8_t>(payload.size())};
  message.insert(message.end(), payload.begin(), payload.end());
  unsigned sum = 0;
  for (std::uint8_t b : message) sum += b;
  message.push_back(static_cast<std::uint8_t>(-sum & 0xFF));
  return message;
}

bool SynthesizeCallerId(const CallerIdSynthOptions& o, const std::string& path, std::string& error) {
  const std::vector<std::uint8_t> message = BuildCallerIdMessage(o, error);
  if (message.empty()) return false;

  std::vector<bool> bits;
  for (int i = 0; i < o.seizureBytes; ++i) AppendFskCharacter(bits, 0x55);
  const long markBits = std::lround(o.markMs * kBitRate / 1000.0);
  bits.insert(bits.end(), static_cast<std::size_t>(markBits), true);
  for (std::uint8_t b : message) AppendFskCharacter(bits, b);
  bits.insert(bits.end(), 6, true);  // a little mark after the checksum

  UlawFileWriter writer;
  if (!writer.Open(path)) {
    error = writer.Error();
    return false;
  }
  const double peak = Dbm0ToPeak(o.levelDbm0);
  const double noiseRms = o.snrDb ? peak / std::sqrt(2.0) / std::pow(10.0, *o.snrDb / 20.0) : 0.0;
  GaussianNoise noise(o.seed);
  auto put = [&](double signal) { writer.Put(noiseRms > 0.0 ? signal + noiseRms * noise.Next() : signal); };

  for (std::int64_t i = MsToSamples(o.leadMs); i > 0; --i) put(0.0);
  const double scale = 1.0 + o.freqOffsetPercent / 100.0;
  const double mark = (o.v23 ? 1300.0 : 1200.0) * scale;
  const double space = (o.v23 ? 2100.0 : 2200.0) * scale;
  ModulateFsk(bits, mark, space, peak, put);
  for (std::int64_t i = MsToSamples(o.trailMs); i > 0; --i) put(0.0);

  if (!writer.Close()) {
    error = writer.Error();
    return false;
  }
  return true;
}

}  // namespace quorvane
