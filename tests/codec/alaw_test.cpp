#include "codec/alaw.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(Alaw, KnownCodes) {
  struct Case {
    std::uint8_t code;
    std::int16_t linear;
  };
  for (const Case& c : {Case{0xD5, 8}, Case{0x55, -8}, Case{0xAA, 32256}, Case{0x2A, -32256}, Case{0xC5, 264}}) {
    EXPECT_EQ(AlawToLinear(c.code), c.linear) << int(c.code);
  }
  EXPECT_EQ(LinearToAlaw(32767), 0xAA);
  EXPECT_EQ(LinearToAlaw(-32768), 0x2A);
  EXPECT_EQ(LinearToAlaw(0), 0xD5);
  EXPECT_EQ(LinearToAlaw(-1), 0x55);
}

TEST(Alaw, EveryCodeSurvivesARoundTripAndTheLineIsMonotonic) {
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(LinearToAlaw(AlawToLinear(static_cast<std::uint8_t>(code))), code);
  }
  for (int s = -32768; s < 32767; ++s) {
    ASSERT_LE(AlawToLinear(LinearToAlaw(static_cast<std::int16_t>(s))),
              AlawToLinear(LinearToAlaw(static_cast<std::int16_t>(s + 1))))
        << s;
  }
}

}  // namespace
}  // namespace quorvane
