// The steps of the DTMF detector that the bulk channel path shares with the
// sample-by-sample detector: feeding samples, the block decision and the
// block end, plus the vector kernel that runs many whole blocks at once.
#pragma once

#include <cstdint>

#include "dtmf/exact/dtmf_detector.h"

namespace quorvane {

// What a block leaves for its decision: the eight tone powers (rows, then
// columns) and its energy, all rounded to float as the detector stores them.
struct DtmfBlockEnd {
  float power[8];
  float energy;
};

// Feeds samples [0, n) into the open block; never ends it.
void DtmfFeedSamples(DtmfDetector* detector, const std::int16_t* samples, int n);

// The powers and energy of the detector's open block as they stand.
DtmfBlockEnd DtmfCurrentBlockEnd(const DtmfDetector* detector);

// The digit code the block carries, or 0; the peaks go to *rowIndex, *colIndex.
std::int32_t DtmfDecideBlock(const DtmfBlockEnd& block, int* rowIndex, int* colIndex);

// Decides a finished block, admits its digit, shifts the history and opens
// a fresh block. Returns the block's result.
std::int32_t DtmfEndBlock(DtmfDetector* detector, const DtmfBlockEnd& block);

// Runs `blocks` whole blocks of kDtmfBlockSize samples, each from silent
// resonators, side by side in vector lanes with each lane's arithmetic
// exactly the detector's own; writes one DtmfBlockEnd per block. `coefs` are
// the eight resonator coefficients, rows first.
void DtmfRunWholeBlocks(const std::int16_t* samples, std::int64_t blocks, const float coefs[8],
                        DtmfBlockEnd* out);

// The vector path DtmfRunWholeBlocks takes now (see simd/vector_paths.h).
std::int64_t DtmfVectorTarget();

}  // namespace quorvane
