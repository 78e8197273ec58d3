#include "callerid/exact/fsk_receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "codec/ulaw.h"
#include "callerid/fsk_test_signals.h"

namespace quorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<FskReceiver> Receiver(int mode = 1) {
  auto r = std::make_unique<FskReceiver>();
  r->Init(mode);
  return r;
}

// type, length, payload and the checksum that makes the sum 0 modulo 256.
// (Built byte by byte: GCC 12's optimiser misreads an insert after a
// two-byte list as out of bounds.)
Bytes Message(std::uint8_t type, const Bytes& payload) {
  Bytes m;
  m.push_back(type);
  m.push_back(static_cast<std::uint8_t>(payload.size()));
  for (std::uint8_t b : payload) m.push_back(b);
  unsigned sum = 0;
  for (std::uint8_t b : m) sum += b;
  m.push_back(static_cast<std::uint8_t>(-sum & 0xFF));
  return m;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Param(std::uint8_t type, const std::string& value) {
  Bytes p;
  p.push_back(type);
  p.push_back(static_cast<std::uint8_t>(value.size()));
  for (char c : value) p.push_back(static_cast<std::uint8_t>(c));
  return p;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kSeizure = {0x55, 0x55, 0x55};

// Feeds characters to the state machine; returns the result of each.
std::vector<int> Feed(FskReceiver& r, const Bytes& chars) {
  std::vector<int> results;
  for (std::uint8_t c : chars) results.push_back(r.DecodeCharacter(c));
  return results;
}

int Accepted(const std::vector<int>& results) {
  int n = 0;
  for (int x : results) n += x == 1;
  return n;
}

TEST(CallerIdDecoder, SingleDataMessage) {
  auto r = Receiver();
  const auto results = Feed(*r, Concat({kSeizure, Message(0x04, Text("120815305551234"))}));
  EXPECT_EQ(results.back(), 1);
  EXPECT_STREQ(r->number, "5551234");
  EXPECT_STREQ(r->name, "");
  EXPECT_EQ(r->statusFlags, NameUnavailable);
}

struct MdmfCase {
  const char* title;
  Bytes payload;
  const char* number;
  const char* name;
  int flags;
};

class MultipleDataMessage : public ::testing::TestWithParam<MdmfCase> {};

TEST_P(MultipleDataMessage, Parameters) {
  const MdmfCase& c = GetParam();
  auto r = Receiver();
  EXPECT_EQ(Feed(*r, Concat({kSeizure, Message(0x80, c.payload)})).back(), 1);
  EXPECT_STREQ(r->number, c.number);
  EXPECT_STREQ(r->name, c.name);
  EXPECT_EQ(r->statusFlags, c.flags);
}

INSTANTIATE_TEST_SUITE_P(
    CallerIdDecoder, MultipleDataMessage,
    ::testing::Values(
        MdmfCase{"NumberAndName", Concat({Param(1, "12081530"), Param(2, "5551234567"), Param(7, "DOE JOHN")}),
                 "5551234567", "DOE JOHN", 0},
        MdmfCase{"WithheldNumberNoName", Param(4, "P"), "", "", NumberWithheld | NameUnavailable},
        MdmfCase{"UnavailableNumberWithheldName", Concat({Param(4, "O"), Param(8, "P")}), "", "",
                 NumberUnavailable | NameWithheld},
        MdmfCase{"LongNumberCutTo32", Param(2, std::string(40, '7')), "77777777777777777777777777777777", "",
                 NameUnavailable},
        MdmfCase{"FirstNonEmptyNumberLastName",
                 Concat({Param(2, ""), Param(3, "111"), Param(2, "222"), Param(7, "A"), Param(8, "B")}), "111", "B", 0},
        MdmfCase{"UnknownParametersSkipped", Concat({Param(9, "xx"), Param(0, ""), Param(2, "42")}), "42", "",
                 NameUnavailable},
        MdmfCase{"ValueRunningPastThePayloadEndsThere", Bytes{2, 20, '9', '8'}, "98", "", NameUnavailable}),
    [](const ::testing::TestParamInfo<MdmfCase>& info) { return std::string(info.param.title); });

TEST(CallerIdDecoder, ChecksumZeroIsAccepted) {
  // 0x80 + 0x03 + 2 + 1 + 0x7A = 0x100.
  auto r = Receiver();
  EXPECT_EQ(Feed(*r, Concat({kSeizure, Bytes{0x80, 0x03, 0x02, 0x01, 0x7A, 0x00}})).back(), 1);
  EXPECT_STREQ(r->number, "z");
}

TEST(CallerIdDecoder, JunkBeforeTheTypeIsSkipped) {
  auto r = Receiver();
  EXPECT_EQ(Accepted(Feed(*r, Concat({kSeizure, Bytes{0x55, 0x13, 0xFF}, Message(0x04, Text("1208153042"))}))), 1);
  EXPECT_STREQ(r->number, "42");
}

TEST(CallerIdDecoder, BadChecksumIsDroppedAndALaterCopyDecoded) {
  auto r = Receiver();
  Bytes bad = Message(0x04, Text("1208153011"));
  bad.back() ^= 1;
  Bytes good = Message(0x04, Text("1208153022"));
  EXPECT_EQ(Accepted(Feed(*r, Concat({kSeizure, bad}))), 0);
  EXPECT_EQ(r->messageState, 0);
  EXPECT_EQ(Accepted(Feed(*r, Concat({kSeizure, good}))), 1);
  EXPECT_STREQ(r->number, "22");
}

TEST(CallerIdDecoder, RepeatedChecksumAcceptsAgain) {
  auto r = Receiver();
  Bytes m = Message(0x04, Text("120815309"));
  m.push_back(m.back());
  EXPECT_EQ(Accepted(Feed(*r, Concat({kSeizure, m}))), 2);
  EXPECT_EQ(r->messageState, 4);
}

TEST(CallerIdDecoder, PayloadOverflowFailsOnceAndReturnsToIdle) {
  auto r = Receiver();
  // A length of 0 runs the payload to 128 bytes; the 129th overflows.
  Bytes chars = Concat({kSeizure, Bytes{0x04, 0x00}, Bytes(129, '1')});
  const auto results = Feed(*r, chars);
  EXPECT_EQ(results.back(), -1);
  EXPECT_EQ(std::count(results.begin(), results.end(), -1), 1);
  EXPECT_EQ(r->messageState, 0);
  EXPECT_EQ(Feed(*r, Concat({kSeizure, Message(0x04, Text("1208153077"))})).back(), 1);
  EXPECT_STREQ(r->number, "77");
}

TEST(CallerIdDecoder, SingleMessageNumberComesOnlyFromItsOwnBytes) {
  auto r = Receiver();
  Feed(*r, Concat({kSeizure, Message(0x04, Text("120815305551234"))}));
  ASSERT_STREQ(r->number, "5551234");
  // Eight bytes: no number, even though the store still holds the old one.
  EXPECT_EQ(Feed(*r, Concat({Bytes{0x00}, kSeizure, Message(0x04, Text("12081530"))})).back(), 1);
  EXPECT_STREQ(r->number, "");
  EXPECT_EQ(r->statusFlags, NumberUnavailable | NameUnavailable);
  // A 100-digit number keeps 63 characters and its terminator.
  Feed(*r, Concat({Bytes{0x00}, kSeizure, Message(0x04, Text("12081530" + std::string(100, '3')))}));
  EXPECT_EQ(std::strlen(r->number), 63u);
  EXPECT_EQ(r->number[63], 0);
}

// ---- ProcessFrame: mu-law in, every sample demodulated once ----

struct Accepts {
  std::vector<std::string> numbers;
  static void Hook(void* context, const FskReceiver& r) { static_cast<Accepts*>(context)->numbers.push_back(r.number); }
};

std::vector<std::uint8_t> TwoMessagesBackToBack() {
  const Bytes first = Concat({Bytes(10, 0x55), Message(0x04, Text("1208153011"))});
  const Bytes second = Concat({Bytes(10, 0x55), Message(0x04, Text("1208153022"))});
  return testing::ToUlaw(testing::Bell202(testing::CharacterBits(Concat({first, second}))));
}

TEST(FskReceiverFrames, OneBufferGoesOnAfterAnAcceptance) {
  const auto bytes = TwoMessagesBackToBack();
  auto r = Receiver();
  Accepts accepts;
  r->acceptHook = Accepts::Hook;
  r->acceptContext = &accepts;
  EXPECT_EQ(r->ProcessFrame(bytes.data(), static_cast<std::int32_t>(bytes.size())), 1);
  EXPECT_EQ(accepts.numbers, (std::vector<std::string>{"11", "22"}));
  EXPECT_STREQ(r->number, "22");
  EXPECT_LT(r->carryBytes, 2 * 160);
}

// The trace's input row holds the last samples demodulated: they must be
// exactly the file's samples, each once, in order, up to the carried tail.
void ExpectEverySampleOnceInOrder(const FskReceiver& r, const std::vector<std::uint8_t>& bytes) {
  const std::size_t consumed = bytes.size() - static_cast<std::size_t>(r.carryBytes / 2);
  ASSERT_EQ(static_cast<std::size_t>(r.demod.traceIndex), consumed % kFskTraceLength);
  const std::size_t first = consumed > kFskTraceLength ? consumed - kFskTraceLength : 0;
  for (std::size_t j = first; j < consumed; ++j) {
    ASSERT_EQ(r.demod.trace[0][j % kFskTraceLength], UlawToLinear(bytes[j]) / 256.0f) << "sample " << j;
  }
}

TEST(FskReceiverFrames, AnyCallSizesGiveTheSameResult) {
  const auto bytes = TwoMessagesBackToBack();
  const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
  std::printf("call-size seed %u\n", seed);
  std::srand(seed);
  for (int pattern = 0; pattern < 5; ++pattern) {
    auto r = Receiver();
    Accepts accepts;
    r->acceptHook = Accepts::Hook;
    r->acceptContext = &accepts;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      const std::size_t want = pattern == 0 ? 160 : pattern == 1 ? bytes.size() : static_cast<std::size_t>(std::rand() % 400);
      const std::size_t n = std::min(bytes.size() - pos, want);
      r->ProcessFrame(bytes.data() + pos, static_cast<std::int32_t>(n));
      ASSERT_LT(r->carryBytes, 2 * 160);
      pos += n;
    }
    EXPECT_EQ(accepts.numbers, (std::vector<std::string>{"11", "22"})) << "pattern " << pattern;
    ExpectEverySampleOnceInOrder(*r, bytes);
  }
}

TEST(FskReceiverFrames, RefusesANegativeLength) {
  auto r = Receiver();
  EXPECT_EQ(r->ProcessFrame(nullptr, -1), -1);
  EXPECT_EQ(r->carryBytes, 0);
}

}  // namespace
}  // namespace quorvane
