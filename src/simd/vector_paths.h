// Which compiled instruction set the vector kernels of the exact detectors
// use. The processor's best is chosen at run time; tests and benchmarks can
// force any other one the processor has, to compare every path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// Every compiled path this processor can run, best first (Highway target bits).
std::vector<std::int64_t> AvailableVectorPaths();

// Makes the kernels use `path` from now on; 0 goes back to the best one.
void ForceVectorPath(std::int64_t path);

// The path the DTMF kernel runs with now.
std::int64_t DtmfVectorTarget();

// A short name such as "AVX2" or "AVX3" (AVX-512).
std::string VectorPathName(std::int64_t path);

}  // namespace quorvane
