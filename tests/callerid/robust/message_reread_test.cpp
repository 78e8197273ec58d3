// Reading a burst again from its samples, given the characters as the bit
// decisions framed them: wrong values, edges off by a sample, a type byte
// framed a bit late, and a character without its stop bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "callerid/synth.h"
#include "callerid/robust/message_reread.h"

namespace quorvane {
namespace {

constexpr int kLead = 800;       // silent samples before the burst
constexpr int kMarkBits = 150;   // mark before the type character
const std::vector<std::uint8_t> kMessage = {0x04, 12, '0', '1', '0', '2', '0', '3', '0', '4', '5', '5', '5', '1', 0x96};

// Sample at which bit `k` of the burst begins: the synthesiser switches
// tones on whole samples.
std::int64_t BitStart(int k) { return kLead + static_cast<std::int64_t>(std::ceil(k * 8000.0 / 1200.0 - 1e-9)); }

struct Row {
  const char* name;
  bool v23;
  int misreadCharacter;       // its value is given wrong (-1: none)
  int edgeError;              // samples added to every start edge given
  bool typeABitLate;          // the type character given a bit late, as 0xC0
  int spaceStop;              // this character is sent without its stop bit (-1: none)
  bool reads;
};

TEST(FskMessageReread, ReadsTheBurstAgain) {
  const Row rows[] = {
      {"one character misread", false, 5, 0, false, -1, true},
      {"edges a sample late", false, -1, 1, false, -1, true},
      {"edges a sample early, V.23", true, 7, -1, false, -1, true},
      {"type byte a bit late", false, -1, 0, true, -1, true},
      {"no stop bit", false, -1, 0, false, 6, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<bool> bits(kMarkBits, true);
    for (std::size_t i = 0; i < kMessage.size(); ++i) {
      AppendFskCharacter(bits, kMessage[i]);
      if (static_cast<int>(i) == row.spaceStop) bits.back() = false;
    }
    bits.insert(bits.end(), 40, true);
    auto ring = std::make_unique<FskSampleRing>();
    ring->next = 0;
    const std::vector<std::int16_t> lead(kLead, 0);
    FskSampleRingPut(*ring, lead.data(), lead.size());
    std::vector<std::int16_t> samples;
    ModulateFsk(bits, row.v23 ? 1300.0 : 1200.0, row.v23 ? 2100.0 : 2200.0, 5083.0,
                [&](double x) { samples.push_back(static_cast<std::int16_t>(std::lround(x))); });
    FskSampleRingPut(*ring, samples.data(), samples.size());

    std::vector<RobustFskCharacter> given(kMessage.size() + 3);  // and a few after the burst
    for (std::size_t i = 0; i < given.size(); ++i) {
      given[i].startSample = BitStart(kMarkBits + 10 * static_cast<int>(i)) + row.edgeError;
      given[i].value = i < kMessage.size() ? kMessage[i] : 0xFF;
    }
    if (row.misreadCharacter >= 0) given[static_cast<std::size_t>(row.misreadCharacter)].value ^= 0x10;
    if (row.typeABitLate) {
      given[0].startSample = BitStart(kMarkBits + 1);
      given[0].value = 0xC0;
    }
    FskRereadMessage read;
    const bool ok = RereadFskMessage(*ring, row.v23 ? TonePlan::V23 : TonePlan::Bell202, 8000.0 / 1200.0,
                                     given.data(), static_cast<int>(given.size()), read);
    ASSERT_EQ(ok, row.reads);
    if (!ok) continue;
    EXPECT_EQ(std::vector<std::uint8_t>(read.bytes, read.bytes + read.count), kMessage);
    EXPECT_NEAR(read.startEdge, static_cast<double>(BitStart(kMarkBits)), 1.0);
    EXPECT_NEAR(read.endEdge, static_cast<double>(BitStart(kMarkBits + 10 * static_cast<int>(kMessage.size()))), 1.0);
  }
}

TEST(FskSampleRing, SamplesOutsideTheRingAreSilence) {
  auto ring = std::make_unique<FskSampleRing>();
  ring->next = 0;
  const std::vector<std::int16_t> samples(kSampleRingSize + 10, 7);
  FskSampleRingPut(*ring, samples.data(), samples.size());
  EXPECT_EQ(FskSampleRingAt(*ring, 9), 0);                   // overwritten
  EXPECT_EQ(FskSampleRingAt(*ring, 10), 7);                  // oldest kept
  EXPECT_EQ(FskSampleRingAt(*ring, kSampleRingSize + 10), 0); // not yet put
}

}  // namespace
}  // namespace quorvane
