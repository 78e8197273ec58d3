// The input layer's content sniffing, and the detectors' linear entries.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_channel.h"
#include "callerid/exact/fsk_receiver.h"
#include "io/sniff.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

struct SniffCase {
  std::vector<std::uint8_t> head;
  io::InputKind kind;
};

TEST(Sniff, KnownMagicsOnly) {
  const std::vector<SniffCase> cases = {
      {{0xD4, 0xC3, 0xB2, 0xA1, 2, 0}, io::InputKind::Capture},
      {{0xA1, 0xB2, 0xC3, 0xD4}, io::InputKind::Capture},
      {{0x4D, 0x3C, 0xB2, 0xA1}, io::InputKind::Capture},
      {{0x0A, 0x0D, 0x0D, 0x0A, 0x1C}, io::InputKind::Capture},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, io::InputKind::Container},
      {{'f', 'L', 'a', 'C'}, io::InputKind::Container},
      {{'.', 's', 'n', 'd'}, io::InputKind::Container},
      // mu-law silence looks like an MPEG frame sync: it is audio
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, io::InputKind::Headerless},
      {{'R', 'I', 'F'}, io::InputKind::Headerless},
      {{}, io::InputKind::Headerless},
  };
  for (const SniffCase& c : cases) {
    EXPECT_EQ(io::SniffInput(c.head.data(), c.head.size()), c.kind) << ::testing::PrintToString(c.head);
  }
}

std::vector<std::uint8_t> Sample(const char* name) {
  return testing::ReadBytes(std::string(QUORVANE_SAMPLES) + "/" + name);
}

// The linear entries must give what the mu-law entries give, frame by frame.
TEST(LinearEntries, DtmfChannelMatchesProcessFrame) {
  const std::vector<std::uint8_t> bytes = Sample("dtmf-noisy.pcm");
  DtmfChannel ulaw;
  DtmfChannel linear;
  for (std::size_t at = 0; at + kUlawFrameBytes <= bytes.size(); at += kUlawFrameBytes) {
    UlawFrame frame;
    std::memcpy(frame.data(), bytes.data() + at, kUlawFrameBytes);
    std::int16_t samples[kUlawFrameBytes];
    UlawBufferToLinear(frame.data(), samples, kUlawFrameBytes);
    char a = 0, b = 0;
    ulaw.ProcessFrame(frame.data(), kUlawFrameBytes, &a);
    linear.ProcessSamples(samples, kUlawFrameBytes, &b);
    ASSERT_EQ(a, b) << "frame " << at / kUlawFrameBytes;
  }
  EXPECT_EQ(std::memcmp(&ulaw.detector, &linear.detector, sizeof ulaw.detector), 0);
}

TEST(LinearEntries, FskReceiverMatchesProcessFrame) {
  const std::vector<std::uint8_t> bytes = Sample("callerid-mdmf.pcm");
  auto ulaw = std::make_unique<FskReceiver>();
  auto linear = std::make_unique<FskReceiver>();
  ulaw->Init(1);
  linear->Init(1);
  int accepted = 0;
  for (std::size_t at = 0; at + kUlawFrameBytes <= bytes.size(); at += kUlawFrameBytes) {
    std::int16_t samples[kUlawFrameBytes];
    UlawBufferToLinear(bytes.data() + at, samples, kUlawFrameBytes);
    const int a = ulaw->ProcessFrame(bytes.data() + at, kUlawFrameBytes);
    ASSERT_EQ(a, linear->ProcessSamples(samples, kUlawFrameBytes));
    accepted += a == 1;
  }
  EXPECT_EQ(accepted, 1);
  EXPECT_STREQ(ulaw->number, linear->number);
}

}  // namespace
}  // namespace quorvane
