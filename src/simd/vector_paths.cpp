#include "simd/vector_paths.h"

#include <hwy/targets.h>

namespace quorvane {
namespace {

std::int64_t& ForcedPath() {
  static std::int64_t forced = 0;
  return forced;
}

}  // namespace

std::vector<std::int64_t> AvailableVectorPaths() {
  // Highway answers for the forced set while one is in force, so look past it.
  hwy::SetSupportedTargetsForTest(0);
  std::vector<std::int64_t> paths = hwy::SupportedAndGeneratedTargets();
  if (ForcedPath() != 0) ForceVectorPath(ForcedPath());
  return paths;
}

void ForceVectorPath(std::int64_t path) {
  ForcedPath() = path;
  hwy::SetSupportedTargetsForTest(path);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
}

std::string VectorPathName(std::int64_t path) { return hwy::TargetName(path); }

}  // namespace quorvane
