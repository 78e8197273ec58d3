// The robust caller-ID receiver on synthesised signals: every message type
// and parameter, the goals' levels, noise and frequency errors, framing
// quirks, alerts, DTMF caller ID, and call-size independence.
#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "codec/ulaw.h"
#include "callerid/synth.h"
#include "callerid/dtmf_signalled.h"
#include "callerid/robust/receiver.h"

namespace quorvane {
namespace {

struct Received {
  std::vector<CallerIdMessageEvent> messages;
  std::vector<AlertTone> alerts;
  int rejected = 0;
};

Received Receive(const std::vector<std::int16_t>& samples, TonePlan plan = TonePlan::Auto) {
  CallerIdEventList events;
  auto receiver = std::make_unique<RobustCallerIdReceiver>();
  RobustCallerIdInit(*receiver, {plan});
  RobustCallerIdProcess(*receiver, samples.data(), samples.size(), events);
  RobustCallerIdFinish(*receiver, events);
  return {events.messages, events.alerts, RobustCallerIdRejected(*receiver)};
}

std::vector<std::int16_t> Synth(const CallerIdSynthOptions& o) {
  std::string error;
  std::vector<std::int16_t> samples;
  CallerIdSamples(o, &samples, &error);
  EXPECT_EQ(error, "");
  return samples;
}

// Samples of raw message bytes after the usual seizure and mark; the
// character at `spaceStop`, if any, ends with a space; `spaceBefore` turns
// the last bit of the mark to space, as a noise burst might.
std::vector<std::int16_t> Burst(const std::vector<std::uint8_t>& bytes, std::size_t spaceStop = SIZE_MAX,
                                bool spaceBefore = false) {
  std::vector<bool> bits;
  for (int i = 0; i < 30; ++i) AppendFskCharacter(bits, 0x55);
  bits.insert(bits.end(), 150, true);
  if (spaceBefore) bits.back() = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    AppendFskCharacter(bits, bytes[i]);
    if (i == spaceStop) bits.back() = false;
  }
  bits.insert(bits.end(), 40, true);
  std::vector<std::int16_t> out(800, 0);
  ModulateFsk(bits, 1200.0, 2200.0, 5083.0, [&](double x) { out.push_back(static_cast<std::int16_t>(std::lround(x))); });
  return out;
}

std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> m) {
  unsigned sum = 0;
  for (std::uint8_t b : m) sum += b;
  m.push_back(static_cast<std::uint8_t>(-sum & 0xFF));
  return m;
}

bool HasParameter(const CallerIdInfo& info, std::uint8_t type, const std::vector<std::uint8_t>& data) {
  for (const CallerIdRawParameter& p : info.parameters) {
    if (p.type == type && p.data == data) return true;
  }
  return false;
}

struct MessageRow {
  const char* name;
  void (*setup)(CallerIdSynthOptions&);
  void (*check)(const CallerIdInfo&);
};

const MessageRow kMessageRows[] = {
    {"SdmfNumberAndDate", [](CallerIdSynthOptions& o) { o.multipleDataMessage = false; o.number = "5551234567"; },
     [](const CallerIdInfo& m) {
       EXPECT_EQ(m.type, CallerIdType::Sdmf);
       EXPECT_EQ(m.number, "5551234567");
       ASSERT_TRUE(m.date);
       EXPECT_EQ(m.date->month, 12); EXPECT_EQ(m.date->day, 8); EXPECT_EQ(m.date->hour, 15); EXPECT_EQ(m.date->minute, 30);
     }},
    {"SdmfWithheld", [](CallerIdSynthOptions& o) { o.multipleDataMessage = false; o.numberAbsence = 'P'; },
     [](const CallerIdInfo& m) { EXPECT_TRUE(m.numberWithheld); EXPECT_EQ(m.number, ""); }},
    {"MdmfNumberNameDate", [](CallerIdSynthOptions& o) { o.number = "0123456789"; o.name = "ADA LOVELACE"; },
     [](const CallerIdInfo& m) {
       EXPECT_EQ(m.type, CallerIdType::Mdmf);
       EXPECT_EQ(m.number, "0123456789");
       EXPECT_EQ(m.name, "ADA LOVELACE");
       EXPECT_TRUE(m.date);
       EXPECT_TRUE(HasParameter(m, 0x01, {'1', '2', '0', '8', '1', '5', '3', '0'}));
     }},
    {"MdmfAbsences", [](CallerIdSynthOptions& o) { o.numberAbsence = 'P'; o.nameAbsence = 'O'; },
     [](const CallerIdInfo& m) {
       EXPECT_TRUE(m.numberWithheld); EXPECT_FALSE(m.numberUnavailable);
       EXPECT_TRUE(m.nameUnavailable); EXPECT_FALSE(m.nameWithheld);
       EXPECT_TRUE(HasParameter(m, 0x04, {'P'}));
       EXPECT_TRUE(HasParameter(m, 0x08, {'O'}));
     }},
    {"SdmfWaitingOn", [](CallerIdSynthOptions& o) { o.multipleDataMessage = false; o.messageWaitingType = true; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.type, CallerIdType::SdmfMwi); EXPECT_EQ(m.messageWaiting, true); }},
    {"SdmfWaitingOff",
     [](CallerIdSynthOptions& o) { o.multipleDataMessage = false; o.messageWaitingType = true; o.messageWaiting = false; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.messageWaiting, false); }},
    {"MdmfWaitingWithCount", [](CallerIdSynthOptions& o) { o.messageWaitingType = true; o.messageCount = 3; },
     [](const CallerIdInfo& m) {
       EXPECT_EQ(m.type, CallerIdType::MdmfMwi);
       EXPECT_EQ(m.messageWaiting, true);
       EXPECT_EQ(m.messageCount, 3);
       EXPECT_TRUE(HasParameter(m, 0x0B, {0xFF}));
     }},
    {"DialableNumber", [](CallerIdSynthOptions& o) { o.number = "5551234"; o.dialableNumber = "15551234"; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.dialableNumber, "15551234"); }},
    {"CallQualifier", [](CallerIdSynthOptions& o) { o.callQualifier = "L"; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.callQualifier, "L"); }},
    {"CallType", [](CallerIdSynthOptions& o) { o.callType = 0x81; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.callType, 0x81); }},
    {"Redirection", [](CallerIdSynthOptions& o) { o.redirectingNumber = "5550000"; o.redirectReason = 2; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.redirectingNumber, "5550000"); EXPECT_EQ(m.redirectReason, 2); }},
    {"CallingUserType", [](CallerIdSynthOptions& o) { o.callingUserType = 4; },
     [](const CallerIdInfo& m) { EXPECT_EQ(m.callingUserType, 4); }},
    {"UnknownKeptRaw", [](CallerIdSynthOptions& o) { o.rawParameters = {{0xE0, {0x01, 0xAB}}}; },
     [](const CallerIdInfo& m) { EXPECT_TRUE(HasParameter(m, 0xE0, {0x01, 0xAB})); }},
};

class RobustMessages : public ::testing::TestWithParam<MessageRow> {};

TEST_P(RobustMessages, DecodesInBothPlans) {
  for (bool v23 : {false, true}) {
    CallerIdSynthOptions o;
    o.plan = v23 ? TonePlan::V23 : TonePlan::Bell202;
    GetParam().setup(o);
    const Received r = Receive(Synth(o));
    ASSERT_EQ(r.messages.size(), 1u) << (v23 ? "V.23" : "Bell 202");
    EXPECT_EQ(r.messages[0].plan, v23 ? TonePlan::V23 : TonePlan::Bell202);
    GetParam().check(r.messages[0].info);
  }
}

INSTANTIATE_TEST_SUITE_P(, RobustMessages, ::testing::ValuesIn(kMessageRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct LineRow {
  const char* name;
  bool v23;
  double levelDbm0;
  std::optional<double> snrDb;
  double freqOffsetPercent;
  int idleBits;
  double messageDelayBits = 0.0;
  std::uint64_t seed = 7;
};

// The goals: -50 dBm0, 6 dB SNR, +-1.5 %, ten idle bits; fixed seeds. A
// sender may start its message anywhere on the bit clock of its mark.
const LineRow kLineRows[] = {
    {"BellAtMinus50", false, -50.0, {}, 0.0, 0},      {"V23AtMinus50", true, -50.0, {}, 0.0, 0},
    {"BellAt6dB", false, -13.0, 6.0, 0.0, 0},         {"V23At6dB", true, -13.0, 6.0, 0.0, 0},
    {"BellPlus1_5", false, -13.0, {}, 1.5, 0},        {"BellMinus1_5", false, -13.0, {}, -1.5, 0},
    {"V23Plus1_5", true, -13.0, {}, 1.5, 0},          {"V23Minus1_5", true, -13.0, {}, -1.5, 0},
    {"BellTenIdleBits", false, -13.0, {}, 0.0, 10},   {"V23TenIdleBits", true, -13.0, {}, 0.0, 10},
    {"V23AllAtOnce", true, -40.0, 10.0, -1.5, 10},
    {"BellHalfABitOffTheMarkAt6dB", false, -13.0, 6.0, 0.0, 0, 0.5},
    {"BellQuarterBitOffTheMarkAt6dB", false, -13.0, 6.0, 0.0, 0, 0.25, 56},
    {"V23HalfABitOffTheMarkAt6dB", true, -13.0, 6.0, 0.0, 0, 0.5, 13},
    // Noise that the bit decisions all misread, one character or, after a
    // missed start bit, the framing of every character: read again.
    {"BellAt6dBOneCharacterMisread", false, -13.0, 6.0, 0.0, 0, 0.0, 406},
    {"V23At4dBStartBitMissed", true, -13.0, 4.0, 0.0, 0, 0.0, 56},
};

class RobustLine : public ::testing::TestWithParam<LineRow> {};

TEST_P(RobustLine, MessageComplete) {
  const LineRow& row = GetParam();
  CallerIdSynthOptions o;
  o.plan = row.v23 ? TonePlan::V23 : TonePlan::Bell202;
  o.levelDbm0 = row.levelDbm0;
  o.snrDb = row.snrDb;
  o.freqOffsetPercent = row.freqOffsetPercent;
  o.idleBits = row.idleBits;
  o.messageDelayBits = row.messageDelayBits;
  o.number = "5551234567";
  o.name = "QUORVANE TEST";
  o.seed = row.seed;
  const Received r = Receive(Synth(o));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].info.number, "5551234567");
  EXPECT_EQ(r.messages[0].info.name, "QUORVANE TEST");
  EXPECT_EQ(r.messages[0].plan, row.v23 ? TonePlan::V23 : TonePlan::Bell202);
  EXPECT_NEAR(r.messages[0].levelDbm0.value(), row.levelDbm0, 1.5);
}

INSTANTIATE_TEST_SUITE_P(, RobustLine, ::testing::ValuesIn(kLineRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The synthesiser's message delay: the same signal up to the message, which
// starts that share of a bit later; a whole bit or more is refused.
TEST(CallerIdSynth, MessageDelayStartsTheMessageLater) {
  CallerIdSynthOptions o;
  o.number = "5551234567";
  std::string error;
  std::vector<std::int16_t> onTime;
  CallerIdSamples(o, &onTime, &error);
  o.messageDelayBits = 0.5;
  std::vector<std::int16_t> late;
  CallerIdSamples(o, &late, &error);
  constexpr std::size_t kMessageStart = 800 + 3200;  // lead, then 480 bits of seizure and mark
  ASSERT_GT(onTime.size(), kMessageStart);
  EXPECT_TRUE(std::equal(onTime.begin(), onTime.begin() + kMessageStart, late.begin()));
  EXPECT_FALSE(std::equal(onTime.begin(), onTime.begin() + kMessageStart + 8, late.begin()));
  EXPECT_EQ(late.size() - onTime.size(), 3u);  // half a bit is 3 1/3 samples
  o.messageDelayBits = 1.0;
  EXPECT_FALSE(CheckCallerIdOptions(o, &error));
}

// A sender whose bit clock is off: the receiver must learn the rate, or
// its clock slips through the idle mark between characters.
TEST(RobustClock, BitRateOneAndAHalfPercentOff) {
  const std::vector<std::uint8_t> message =
      WithChecksum({0x04, 15, '0', '1', '0', '2', '0', '3', '0', '4', '5', '5', '5', '1', '2', '1', '2'});
  std::vector<bool> bits;
  for (int i = 0; i < 30; ++i) AppendFskCharacter(bits, 0x55);
  bits.insert(bits.end(), 150, true);
  for (std::uint8_t b : message) {
    AppendFskCharacter(bits, b);
    bits.insert(bits.end(), 10, true);
  }
  for (double offset : {-0.015, 0.015}) {
    SCOPED_TRACE(offset);
    std::vector<std::int16_t> samples(800, 0);
    double phase = 0.0;
    for (std::size_t n = 0;; ++n) {
      const auto bit = static_cast<std::size_t>(static_cast<double>(n) * 1200.0 * (1.0 + offset) / 8000.0);
      if (bit >= bits.size()) break;
      samples.push_back(static_cast<std::int16_t>(std::lround(5083.0 * std::sin(phase))));
      phase += 2.0 * std::numbers::pi * (bits[bit] ? 1200.0 : 2200.0) / 8000.0;
    }
    samples.resize(samples.size() + 800, 0);
    const Received r = Receive(samples);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].info.number, "5551212");
  }
}

const std::vector<std::uint8_t> kSdmf = WithChecksum({0x04, 15, '0', '1', '0', '2', '0', '3', '0', '4', '5', '5', '5', '1', '2', '1', '2'});

TEST(RobustFraming, JunkBeforeTheTypeByteIsSkipped) {
  // A few characters, and more than twice what a history holds.
  for (const std::size_t junk : {3u, 601u}) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < junk; ++i) bytes.push_back(i % 3 == 1 ? 0x80 : static_cast<std::uint8_t>(0x12 + i));
    bytes.insert(bytes.end(), kSdmf.begin(), kSdmf.end());
    const Received r = Receive(Burst(bytes));
    ASSERT_EQ(r.messages.size(), 1u) << junk;
    EXPECT_EQ(r.messages[0].info.number, "5551212");
  }
}

TEST(RobustFraming, BadCopyIsRejectedAndTheGoodOneShown) {
  std::vector<std::uint8_t> bad = kSdmf;
  bad[5] ^= 0x01;
  std::vector<std::int16_t> samples = Burst(bad);
  const std::vector<std::int16_t> good = Burst(kSdmf);
  samples.insert(samples.end(), good.begin(), good.end());
  const Received r = Receive(samples);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].info.number, "5551212");
  EXPECT_EQ(r.rejected, 1);
}

TEST(RobustFraming, TypeByteFramedABitEarlyIsRead) {
  const std::vector<std::uint8_t> mdmf = WithChecksum({0x80, 9, 0x02, 7, '5', '5', '5', '1', '2', '1', '2'});
  const Received r = Receive(Burst(mdmf, SIZE_MAX, true));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].info.type, CallerIdType::Mdmf);
  EXPECT_EQ(r.messages[0].info.number, "5551212");
}

TEST(RobustFraming, CharacterWithoutItsStopBitIsNoMessage) {
  EXPECT_TRUE(Receive(Burst(kSdmf, 5)).messages.empty());
}

TEST(RobustFraming, FramingTooShortForAnyMessageIsNotCountedAsRejected) {
  const Received r = Receive(Burst({0x80, 0x01, 0x00, 0x00}));
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.rejected, 0);
}

TEST(RobustFraming, RecordingThatEndsAtTheChecksumKeepsTheMessage) {
  CallerIdSynthOptions o;
  o.trailMs = 0.0;  // the checksum's stop bit is followed by fewer bits than a decision lags
  const Received r = Receive(Synth(o));
  ASSERT_EQ(r.messages.size(), 1u);
}

TEST(RobustFraming, ForcedPlanIsReported) {
  CallerIdSynthOptions o;
  const Received r = Receive(Synth(o), TonePlan::Bell202);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].plan, TonePlan::Bell202);
}

TEST(RobustAlerts, AlertThenBurst) {
  CallerIdSynthOptions o;
  o.alert = true;
  o.plan = TonePlan::V23;
  o.seizureBytes = 0;
  o.markMs = 80.0;
  const Received r = Receive(Synth(o));
  ASSERT_EQ(r.alerts.size(), 1u);
  EXPECT_NEAR(static_cast<double>(r.alerts[0].startSample), 800.0, 20.0);
  EXPECT_NEAR(static_cast<double>(r.alerts[0].samples), 640.0, 40.0);
  EXPECT_NEAR(r.alerts[0].lowLevelDbm0, -13.0, 1.0);
  EXPECT_NEAR(r.alerts[0].highLevelDbm0, -13.0, 1.0);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_GT(r.messages[0].start, r.alerts[0].startSample + r.alerts[0].samples);
}

TEST(RobustCalls, NoiseAloneGivesNothing) {
  CallerIdSynthOptions o;
  o.levelDbm0 = -30.0;
  o.snrDb = -30.0;  // the noise is all there is to hear
  const Received r = Receive(Synth(o));
  EXPECT_TRUE(r.messages.empty());
}

// Speech or music before a burst can teach the bit decisions turns under
// which a clean mark reads as alternating tones (here: characters sent at
// 500 and 2000 Hz); a pause that silences the line must leave the next
// burst read as if nothing had sounded before.
TEST(RobustCalls, BurstAfterOtherTonesAndAPauseIsRead) {
  std::vector<bool> bits;
  std::uint32_t seed = 7;
  for (int i = 0; i < 120; ++i) AppendFskCharacter(bits, static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24));
  std::vector<std::int16_t> samples;
  ModulateFsk(bits, 500.0, 2000.0, 5083.0, [&](double x) { samples.push_back(static_cast<std::int16_t>(std::lround(x))); });
  samples.insert(samples.end(), 800, 0);
  CallerIdSynthOptions o;
  o.number = "2125550123";
  const std::vector<std::int16_t> burst = Synth(o);
  samples.insert(samples.end(), burst.begin(), burst.end());
  const Received r = Receive(samples);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].info.number, "2125550123");
}

struct MalformedRow {
  const char* name;
  std::vector<std::uint8_t> bytes;
};

TEST(CallerIdMessage, MalformedIsRefused) {
  const MalformedRow rows[] = {
      {"checksum", {0x04, 9, '0', '1', '0', '2', '0', '3', '0', '4', 'P', 0x00}},
      {"parameter overruns", WithChecksum({0x80, 3, 0x02, 5, '1'})},
      {"date not digits", WithChecksum({0x04, 9, '0', '1', 'x', '2', '0', '3', '0', '4', 'P'})},
      {"waiting payload", WithChecksum({0x06, 3, 0x42, 0x42, 0x6F})},
  };
  for (const MalformedRow& row : rows) {
    CallerIdInfo info;
    EXPECT_FALSE(DecodeCallerIdMessage(row.bytes.data(), row.bytes.size(), info)) << row.name;
  }
}

struct DtmfRow {
  const char* number;
  const char* code;
  char endKey;
  const char* meaning;
};

TEST(DtmfCallerId, NumberOrInformationCode) {
  const DtmfRow rows[] = {
      {"5551234", "", 'C', ""},
      {"0412345678", "", '#', ""},
      {"", "10", 'C', "number private"},
      {"", "00", '#', "number unavailable"},
  };
  for (const DtmfRow& row : rows) {
    CallerIdSynthOptions o;
    o.dtmf = true;
    o.number = row.number;
    o.informationCode = row.code;
    o.dtmfEndKey = row.endKey;
    o.levelDbm0 = -20.0;
    o.snrDb = 15.0;
    const Received r = Receive(Synth(o));
    ASSERT_EQ(r.messages.size(), 1u) << row.number << row.code;
    const CallerIdInfo& info = r.messages[0].info;
    EXPECT_EQ(info.type, CallerIdType::Dtmf);
    EXPECT_EQ(info.number, row.number);
    EXPECT_EQ(info.informationCode, row.code);
    EXPECT_EQ(info.commonMeaning, row.meaning);
    EXPECT_NEAR(r.messages[0].levelDbm0.value(), -20.0, 1.5);
  }
}

TEST(DtmfCallerId, KeysOutsideAFrameAreNoMessage) {
  DtmfCallerIdAssembler a;
  DtmfCallerIdInit(a);
  CallerIdInfo info;
  std::int64_t start = 0, sample = 0;
  int found = 0;
  for (char key : std::string("123C#A12")) found += DtmfCallerIdKey(a, key, sample += 960, info, start);
  found += DtmfCallerIdKey(a, 'C', sample + kDtmfCallerIdTimeout + 1, info, start);  // too late
  EXPECT_EQ(found, 0);
}

}  // namespace
}  // namespace quorvane
