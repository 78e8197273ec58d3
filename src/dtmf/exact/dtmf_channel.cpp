#include "dtmf/exact/dtmf_channel.h"

#include <algorithm>

#include "codec/ulaw.h"

namespace quorvane {
namespace {

// Any flags without DTMF_KEEP_SAMPLES: tone samples are zeroed in the scratch.
constexpr std::int32_t kChannelFlags = 2048;
// After this many reports the digit record is cut back to its last digit,
// so the detector never fills its store and always publishes lastDigit.
constexpr std::int32_t kReportsBeforeCutBack = 100;

}  // namespace

DtmfChannel::DtmfChannel() : writeBack(false), reportCount(0) { Reset(); }

std::int32_t DtmfChannel::Reset() {
  DtmfDetectorInit(&detector);
  return 0;
}

std::int32_t DtmfChannel::Detect(std::int16_t* samples, std::int32_t count) {
  std::int32_t toneFlag = 0;
  DtmfDetect(&detector, samples, count, kChannelFlags, &toneFlag);
  return 0;
}

std::int32_t DtmfChannel::ProcessFrame(std::uint8_t* frame, std::int32_t count, char* digit) {
  *digit = 0;
  if (count > kMaxFrameBytes) return -1;
  std::int16_t scratch[kMaxFrameBytes];
  UlawBufferToLinear(frame, scratch, count);
  Detect(scratch, count);
  if (writeBack) LinearBufferToUlaw(scratch, frame, count);
  TakeDigit(digit);
  return 0;
}

std::int32_t DtmfChannel::ProcessSamples(const std::int16_t* samples, std::int32_t count, char* digit) {
  *digit = 0;
  if (count > kMaxFrameBytes) return -1;
  std::int16_t scratch[kMaxFrameBytes];
  if (count > 0) std::copy(samples, samples + count, scratch);
  Detect(scratch, count);
  TakeDigit(digit);
  return 0;
}

void DtmfChannel::TakeDigit(char* digit) {
  if (detector.lastDigit > 0) {
    *digit = static_cast<char>(detector.lastDigit);
    detector.lastDigit = 0;
  }
  if (static_cast<signed char>(*digit) > 0) {
    reportCount += 1;
    if (reportCount > kReportsBeforeCutBack) {
      detector.digits[0] = detector.digits[detector.digitCount - 1];
      detector.digits[1] = 0;
      detector.digitCount = 1;
      detector.totalDigits = 1;
      reportCount = 0;
    }
  }
}

}  // namespace quorvane
