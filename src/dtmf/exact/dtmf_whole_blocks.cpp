// Whole DTMF blocks side by side: lane b of every vector belongs to block
// b of a group, so each lane repeats the detector's scalar steps exactly
// (double products and sums in the same order, float rounding at the same
// points, no fused multiply-add). Compiled once per instruction set and
// chosen at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "dtmf/exact/dtmf_whole_blocks.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "dtmf/exact/dtmf_blocks.h"
#include "simd/vector_paths.h"

HWY_BEFORE_NAMESPACE();
namespace quorvane {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Most lanes any target has for double (512-bit vectors).
constexpr std::size_t kMaxLanes = 8;

template <class D, class V>
HWY_INLINE V RoundToFloat(D d, V v) {
  const hn::Rebind<float, D> df;
  return hn::PromoteTo(d, hn::DemoteTo(df, v));
}

void RunWholeBlocks(const std::int16_t* samples, std::int64_t blocks, const float* coefs,
                    DtmfBlockEnd* out) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const std::size_t lanes = hn::Lanes(d);
  HWY_ALIGN double x[kDtmfBlockSize * kMaxLanes];
  HWY_ALIGN float power[8 * kMaxLanes];
  HWY_ALIGN float energyOut[kMaxLanes];
  for (std::int64_t first = 0; first < blocks; first += static_cast<std::int64_t>(lanes)) {
    const std::size_t used = static_cast<std::size_t>(
        blocks - first < static_cast<std::int64_t>(lanes) ? blocks - first : static_cast<std::int64_t>(lanes));
    // Sample j of block b goes to x[j * lanes + b]; unused lanes run silence.
    for (std::size_t b = 0; b < lanes; ++b) {
      const std::int16_t* block = samples + (first + static_cast<std::int64_t>(b)) * kDtmfBlockSize;
      for (int j = 0; j < kDtmfBlockSize; ++j) {
        x[static_cast<std::size_t>(j) * lanes + b] = b < used ? static_cast<double>(block[j]) : 0.0;
      }
    }
    auto older0 = hn::Zero(d), older1 = hn::Zero(d), older2 = hn::Zero(d), older3 = hn::Zero(d);
    auto older4 = hn::Zero(d), older5 = hn::Zero(d), older6 = hn::Zero(d), older7 = hn::Zero(d);
    auto newer0 = hn::Zero(d), newer1 = hn::Zero(d), newer2 = hn::Zero(d), newer3 = hn::Zero(d);
    auto newer4 = hn::Zero(d), newer5 = hn::Zero(d), newer6 = hn::Zero(d), newer7 = hn::Zero(d);
    const auto c0 = hn::Set(d, coefs[0]), c1 = hn::Set(d, coefs[1]), c2 = hn::Set(d, coefs[2]);
    const auto c3 = hn::Set(d, coefs[3]), c4 = hn::Set(d, coefs[4]), c5 = hn::Set(d, coefs[5]);
    const auto c6 = hn::Set(d, coefs[6]), c7 = hn::Set(d, coefs[7]);
    auto energy = hn::Zero(d);
    for (int j = 0; j < kDtmfBlockSize; ++j) {
      const auto s = hn::Load(d, x + static_cast<std::size_t>(j) * lanes);
      energy = RoundToFloat(d, hn::Add(energy, hn::Mul(s, s)));
#define QUORVANE_RESONATE(k)                                                        \
  {                                                                                 \
    const auto y = hn::Add(hn::Sub(hn::Mul(c##k, newer##k), older##k), s);          \
    older##k = newer##k;                                                            \
    newer##k = RoundToFloat(d, y);                                                  \
  }
      QUORVANE_RESONATE(0) QUORVANE_RESONATE(1) QUORVANE_RESONATE(2) QUORVANE_RESONATE(3)
      QUORVANE_RESONATE(4) QUORVANE_RESONATE(5) QUORVANE_RESONATE(6) QUORVANE_RESONATE(7)
#undef QUORVANE_RESONATE
    }
    // Power: older^2 + newer^2 - coef * newer * older, rounded to float.
#define QUORVANE_POWER(k)                                                                          \
  hn::Store(hn::DemoteTo(df, hn::Sub(hn::Add(hn::Mul(older##k, older##k), hn::Mul(newer##k, newer##k)), \
                                     hn::Mul(hn::Mul(c##k, newer##k), older##k))),                 \
            df, power + (k) * lanes);
    QUORVANE_POWER(0) QUORVANE_POWER(1) QUORVANE_POWER(2) QUORVANE_POWER(3)
    QUORVANE_POWER(4) QUORVANE_POWER(5) QUORVANE_POWER(6) QUORVANE_POWER(7)
#undef QUORVANE_POWER
    hn::Store(hn::DemoteTo(df, energy), df, energyOut);
    for (std::size_t b = 0; b < used; ++b) {
      DtmfBlockEnd& end = out[first + static_cast<std::int64_t>(b)];
      for (std::size_t k = 0; k < 8; ++k) end.power[k] = power[k * lanes + b];
      end.energy = energyOut[b];
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace quorvane
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace quorvane {
namespace {

struct WholeBlocksPath {
  std::int64_t path;
  void (*run)(const std::int16_t*, std::int64_t, const float*, DtmfBlockEnd*);
};

// Best first; the last one runs everywhere.
constexpr WholeBlocksPath kPaths[] = {
#if HWY_TARGETS & HWY_AVX3
    {HWY_AVX3, &N_AVX3::RunWholeBlocks},
#endif
#if HWY_TARGETS & HWY_AVX2
    {HWY_AVX2, &N_AVX2::RunWholeBlocks},
#endif
#if HWY_TARGETS & HWY_SSE4
    {HWY_SSE4, &N_SSE4::RunWholeBlocks},
#endif
#if HWY_TARGETS & HWY_SSSE3
    {HWY_SSSE3, &N_SSSE3::RunWholeBlocks},
#endif
    {HWY_STATIC_TARGET, &HWY_STATIC_DISPATCH(RunWholeBlocks)},
};

}  // namespace

void DtmfRunWholeBlocks(const std::int16_t* samples, std::int64_t blocks, const float coefs[8],
                        DtmfBlockEnd* out) {
  PickVectorPath(kPaths).run(samples, blocks, coefs, out);
}

std::int64_t DtmfVectorTarget() { return PickVectorPath(kPaths).path; }

}  // namespace quorvane
#endif
