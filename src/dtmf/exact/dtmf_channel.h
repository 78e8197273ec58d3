// One channel of mu-law audio through a DTMF detector.
#pragma once

#include <cstdint>

#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/key_event.h"

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

  // The same as ProcessFrame on each of `frameCount` consecutive 160-byte
  // frames, in order: the same digits reported for the same frames (to
  // `keys`, each at the start of its frame, frame 0 starting at sample
  // `firstFrameStart`), the same frames rewritten when writeBack is on, the
  // same channel and detector state afterwards. Whole blocks run side by
  // side in vector lanes; decisions, admission and clearing still go block
  // by block.
  void ProcessFrames(std::uint8_t* frames, std::int64_t frameCount, std::int64_t firstFrameStart, DtmfKeySink& keys);

  // The same as ProcessSamples on each of `frameCount` consecutive frames of
  // 160 linear samples.
  void ProcessSampleFrames(const std::int16_t* samples, std::int64_t frameCount, std::int64_t firstFrameStart,
                           DtmfKeySink& keys);

  DtmfDetector detector;
  bool writeBack;            // compress the processed samples back into the frame
  std::int32_t reportCount;  // digits reported since construction or the last cut-back

 private:
  // The bulk work on `frameCount` expanded frames (at most a stretch);
  // tone samples are cleared in place when `clear` is set.
  void ProcessStretch(std::int16_t* samples, int frameCount, bool clear, std::int64_t firstFrameStart,
                      DtmfKeySink& keys);
  // Reports the detector's newly stored digit and keeps its digit record
  // from filling up.
  void TakeDigit(char* digit);
};

}  // namespace quorvane
