#include "simd/vector_paths.h"

#include <hwy/highway.h>

namespace quorvane {
namespace {

// What the processor can run, in Highway's target bits; the baseline
// always. Detected here rather than through libhwy, whose start-up work
// would cost every process a few milliseconds.
std::int64_t ProcessorPaths() {
  std::int64_t paths = HWY_STATIC_TARGET;
#if HWY_ARCH_X86 && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  const bool ssse3 = __builtin_cpu_supports("sse2") && __builtin_cpu_supports("ssse3");
  const bool sse4 = ssse3 && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("sse4.2") &&
                    __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("aes");
  const bool avx2 = sse4 && __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
                    __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                    __builtin_cpu_supports("fma");  // every AVX2 processor has F16C, which clang cannot ask about
  const bool avx3 = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                    __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
  if (ssse3) paths |= HWY_SSSE3;
  if (sse4) paths |= HWY_SSE4;
  if (avx2) paths |= HWY_AVX2;
  if (avx3) paths |= HWY_AVX3;
#endif
  return paths & HWY_TARGETS;
}

std::int64_t& ForcedPath() {
  static std::int64_t forced = 0;
  return forced;
}

}  // namespace

std::vector<std::int64_t> AvailableVectorPaths() {
  static const std::int64_t available = ProcessorPaths();
  std::vector<std::int64_t> paths;
  for (std::int64_t rest = available; rest != 0; rest &= rest - 1) paths.push_back(rest & -rest);
  return paths;
}

void ForceVectorPath(std::int64_t path) { ForcedPath() = path; }

std::int64_t ChosenVectorPath() {
  static const std::int64_t best = AvailableVectorPaths().front();
  return ForcedPath() != 0 ? ForcedPath() : best;
}

std::string VectorPathName(std::int64_t path) { return hwy::TargetName(path); }

}  // namespace quorvane
