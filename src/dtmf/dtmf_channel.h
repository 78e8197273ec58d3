// One channel of mu-law audio through a DTMF detector.
#pragma once

#include <cstdint>

#include "dtmf/dtmf_detector.h"

namespace quorvane {

class DtmfChannel {
 public:
  // Most bytes one ProcessFrame call takes (the size of its scratch array).
  static constexpr int kMaxFrameBytes = 256;

  DtmfChannel();
  virtual ~DtmfChannel() = default;

  std::int32_t Reset();
  std::int32_t Detect(std::int16_t* samples, std::int32_t count);

  // Expands `count` mu-law bytes, runs the detector and reports a newly
  // admitted digit in *digit (0 when none). Returns 0, or -1 without
  // touching anything when count exceeds kMaxFrameBytes.
  std::int32_t ProcessFrame(std::uint8_t* frame, std::int32_t count, char* digit);

  // The same for 16-bit linear samples: the detector sees a copy of them,
  // so the arithmetic is that of ProcessFrame after its expansion.
  std::int32_t ProcessSamples(const std::int16_t* samples, std::int32_t count, char* digit);

  DtmfDetector detector;
  bool writeBack;            // compress the processed samples back into the frame
  std::int32_t reportCount;  // digits reported since construction or the last cut-back

 private:
  void TakeDigit(char* digit);
};

}  // namespace quorvane
