// The sequence decision on clean phase-continuous FSK: tones off the
// references (unknown plan, frequency error) and bit edges between
// samples must not cost a bit once the drift is learnt, and a mark run's
// turn tells which side of its reference the mark lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "callerid/robust/fsk_sequence_decision.h"

namespace quorvane {
namespace {

struct Line {
  double markHz, spaceHz;  // sent tones; the references are 1250 and 2150 Hz
  FskSequenceKind kind;
};

class SequenceDecision : public testing::TestWithParam<Line> {};

TEST_P(SequenceDecision, DecidesEveryBit) {
  constexpr double kRef[2] = {1250.0, 2150.0};
  constexpr double kPi = std::numbers::pi;
  const Line line = GetParam();
  std::vector<bool> bits(60, true);  // mark to learn on, then a fixed jumble
  for (unsigned i = 0, x = 0x5A3u; i < 200; ++i, x = x * 1103515245u + 12345u) bits.push_back(((x >> 16) & 1u) != 0);

  FskSequenceHistory history{};
  FskSequenceDecision d, teacher;  // a Coherent decision follows a Window one
  FskSequenceInit(d, GetParam().kind);
  FskSequenceInit(teacher, FskSequenceKind::Window);
  double phase = 0.3;
  std::complex<float> markTurn;
  int wrong = 0;
  for (std::size_t k = 0; k < bits.size(); ++k) {
    // Integrate the analytic tone over the bit's exact span [k, k+1) * 20/3.
    const double from = static_cast<double>(k) * 20.0 / 3.0, to = from + 20.0 / 3.0;
    const double w = 2.0 * kPi * (bits[k] ? line.markHz : line.spaceHz) / 8000.0;
    std::complex<double> c[2];
    for (int tone = 0; tone < 2; ++tone) {
      const double r = 2.0 * kPi * kRef[tone] / 8000.0;
      for (double t = from; t < to; t += 1.0 / 64.0) c[tone] += std::polar(1.0 / 64.0, phase + w * (t - from) - r * t);
    }
    phase += w * (to - from);
    const auto boundary = std::polar(1.0f, static_cast<float>(2.0 * kPi * (kRef[0] - kRef[1]) / 8000.0 * to));
    FskSequencePush(history, std::complex<float>(c[0]), std::complex<float>(c[1]), boundary, boundary, true);
    const FskSequenceBit bit = FskSequenceDecide(d, history);
    FskSequenceDecide(teacher, history);
    if (line.kind == FskSequenceKind::Coherent) FskSequenceFollow(d, teacher, history);
    if (k < 60 + kSequenceDelay) {
      markTurn += bit.turn;
      continue;
    }
    wrong += bit.mark != bits[k - kSequenceDelay];
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(std::arg(markTurn) < 0.0f, line.markHz < 1250.0);
}

INSTANTIATE_TEST_SUITE_P(Lines, SequenceDecision,
                         testing::Values(Line{1200.0, 2200.0, FskSequenceKind::Window},
                                         Line{1300.0, 2100.0, FskSequenceKind::Window},
                                         Line{1176.0, 2156.0, FskSequenceKind::Window},
                                         Line{1326.0, 2142.0, FskSequenceKind::Window},
                                         Line{1200.0, 2200.0, FskSequenceKind::Reference},
                                         Line{1300.0, 2100.0, FskSequenceKind::Reference},
                                         Line{1176.0, 2156.0, FskSequenceKind::Reference},
                                         Line{1326.0, 2142.0, FskSequenceKind::Reference},
                                         Line{1200.0, 2200.0, FskSequenceKind::Coherent},
                                         Line{1300.0, 2100.0, FskSequenceKind::Coherent},
                                         Line{1176.0, 2156.0, FskSequenceKind::Coherent},
                                         Line{1326.0, 2142.0, FskSequenceKind::Coherent}));

// A Coherent decision that learnt an edge pattern and then forgot it
// (the sender moved its edges) takes the pattern back, rotated as the next
// changes of tone show, or keeps the averages when no rotation fits.
TEST(SequenceDecisionRecall, TakesBackTheRotationThatFits) {
  const float pattern[kEdgeCycle] = {-0.3f, 0.0f, 0.3f};  // radians by place, mark to space
  for (int rotation = 0; rotation <= kEdgeCycle; ++rotation) {
    FskSequenceDecision d, teacher;
    FskSequenceInit(d, FskSequenceKind::Coherent);
    FskSequenceInit(teacher, FskSequenceKind::Window);
    for (int place = 0; place < kEdgeCycle; ++place) {
      d.change[0][place] = std::polar(1.0f, pattern[place]);
      d.change[1][place] = std::polar(1.0f, -pattern[place]);
      d.changeLessonsLearnt[0][place] = d.changeLessonsLearnt[1][place] = 256;
    }
    FskSequenceForgetEdgeCycle(d);
    FskSequenceHistory h{};
    std::fill(std::begin(h.lineBoundary), std::end(h.lineBoundary), std::complex<float>{1.0f, 0.0f});
    // Changes of tone both ways; rotation kEdgeCycle: a sender without the pattern.
    for (int i = 0; i < 6; ++i) {
      const int from = i % 2, place = (i / 2) % kEdgeCycle;
      const float angle = rotation == kEdgeCycle ? 0.0f : pattern[(place + rotation) % kEdgeCycle];
      teacher.lesson = {true, from, 1 - from, place, std::polar(1.0f, from == 0 ? angle : -angle)};
      FskSequenceFollow(d, teacher, h);
    }
    for (int place = 0; place < kEdgeCycle; ++place) {
      const float expected = rotation == kEdgeCycle ? 0.0f : pattern[(place + rotation) % kEdgeCycle];
      EXPECT_NEAR(std::arg(d.change[0][place]), expected, 0.02f) << rotation << " " << place;
    }
  }
}

}  // namespace
}  // namespace quorvane
