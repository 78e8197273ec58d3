// Which compiled instruction set the vector kernels of the exact detectors
// use. The processor's best is chosen at run time; tests and benchmarks can
// force any other one the processor has, to compare every path. Paths are
// Highway target bits; a lower bit is a better path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// Every compiled path this processor can run, best first.
std::vector<std::int64_t> AvailableVectorPaths();

// Makes the kernels use `path` from now on; 0 goes back to the best one.
void ForceVectorPath(std::int64_t path);

// The path the kernels run with now: the forced one, else the best.
std::int64_t ChosenVectorPath();

// A short name such as "AVX2" or "AVX3" (AVX-512).
std::string VectorPathName(std::int64_t path);

// Picks the entry of `paths` (the compiled copies of one kernel, best
// first, each as {path, function}) for the chosen path; the last entry is
// the fallback that runs everywhere.
template <typename Entry, std::size_t N>
const Entry& PickVectorPath(const Entry (&paths)[N]) {
  const std::int64_t chosen = ChosenVectorPath();
  for (const Entry& entry : paths) {
    if (entry.path == chosen) return entry;
  }
  return paths[N - 1];
}

}  // namespace quorvane
