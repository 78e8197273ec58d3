#include <algorithm>
#include <cstring>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_detector.h"
#include "plot/dtmf_panel.h"

namespace quorvane::plot {
namespace {

// The Goertzel power the detector compares, from a resonator's state.
float TonePower(const DtmfResonator& r) {
  const double older = r.older;
  const double newer = r.newer;
  const double coef = r.coef;
  return static_cast<float>(older * older + newer * newer - coef * newer * older);
}

}  // namespace

DtmfTrack TrackExactDtmf(const std::int16_t* samples, std::int64_t count, TrackSpan span) {
  DtmfTrack track;
  track.profile = DtmfProfile::kExact;
  track.span = span;
  // The run hands the detector whole frames only; a final piece is never seen.
  const std::int64_t usable = count / kUlawFrameBytes * kUlawFrameBytes;
  const std::int64_t blocks = std::min(usable, std::min(span.end, usable) + kDtmfBlockSize) / kDtmfBlockSize;
  DtmfDetector detector;
  DtmfDetectorInit(&detector);
  std::int16_t block[kDtmfBlockSize];
  std::int32_t toneFlag = 0;
  for (std::int64_t b = 0; b < blocks; ++b) {
    const std::int64_t start = b * kDtmfBlockSize;
    std::memcpy(block, samples + start, sizeof block);
    // All but the last sample, then a look at the finished block on a copy
    // that is kept from closing it; the real detector then closes it.
    DtmfDetect(&detector, block, kDtmfBlockSize - 1, DTMF_KEEP_SAMPLES, &toneFlag);
    const bool wanted = start + kDtmfBlockSize > span.first && start < span.end;
    DtmfBlockView view{};
    if (wanted) {
      DtmfDetector look = detector;
      look.blockFill = 0;
      DtmfDetect(&look, block + kDtmfBlockSize - 1, 1, DTMF_KEEP_SAMPLES, &toneFlag);
      int row = 0;
      int col = 0;
      view.start = start;
      view.length = kDtmfBlockSize;
      view.result = DtmfBlockResult(&look, &row, &col);
      for (int i = 0; i < 4; ++i) {
        view.rowPower[i] = TonePower(look.row[i]);
        view.colPower[i] = TonePower(look.col[i]);
      }
      view.energy = look.blockEnergy;
    }
    const std::int32_t admittedBefore = detector.totalDigits;
    DtmfDetect(&detector, block + kDtmfBlockSize - 1, 1, DTMF_KEEP_SAMPLES, &toneFlag);
    if (wanted) track.blocks.push_back(view);
    const std::int64_t end = start + kDtmfBlockSize;
    if (detector.totalDigits != admittedBefore && end > span.first && end <= span.end) {
      track.digits.push_back({end, static_cast<char>(detector.heldDigit)});
    }
  }
  return track;
}

}  // namespace quorvane::plot
