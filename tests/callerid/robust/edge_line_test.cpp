// The edge line through jittered clock edges: it must find the sender's
// edges far closer than the jitter, whether the sender keeps 1200 bit/s
// or runs a percent fast, and start afresh when the sender's edges move.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "callerid/robust/edge_line.h"

namespace quorvane {
namespace {

struct Sender {
  const char* name;
  double bitLength;  // samples per bit
  double move;       // samples the edges move by at bit 200
};

class EdgeLine : public testing::TestWithParam<Sender> {};

TEST_P(EdgeLine, FindsTheSendersEdges) {
  const Sender sender = GetParam();
  FskEdgeLine line{};
  std::uint32_t x = 12345u;
  double worst = 0.0;
  for (int k = 0; k < 400; ++k) {
    const double truth = 100.0 + k * sender.bitLength + (k >= 200 ? sender.move : 0.0);
    x = x * 1103515245u + 12345u;
    const double jitter = static_cast<double>((x >> 8) & 0xFFFFu) / 65536.0 - 0.5;  // std 0.29 samples
    const double onLine = FskEdgeLineEnd(line, truth + jitter, k % 3 != 2);  // every third bit without a crossing
    if ((k >= 100 && k < 200) || k >= 300) worst = std::fmax(worst, std::fabs(onLine - truth));
  }
  EXPECT_LT(worst, 0.25);  // the jitter reaches 0.5
  EXPECT_TRUE(FskEdgeLineHolds(line));
}

INSTANTIATE_TEST_SUITE_P(Senders, EdgeLine,
                         testing::Values(Sender{"Digital", 20.0 / 3.0, 0.0},
                                         Sender{"OnePercentFast", 20.0 / 3.0 / 1.01, 0.0},
                                         Sender{"MovesHalfABit", 20.0 / 3.0, 10.0 / 3.0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
