// Building blocks of the test-signal synthesisers: levels, noise and a
// streaming mu-law file writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/output_file.h"

namespace quorvane {

// 0 dBm0 is a sine of peak 22 700 in 16-bit linear units (the digital
// milliwatt); the peak of a sine at `dbm0`.
double Dbm0ToPeak(double dbm0);

// Deterministic white Gaussian noise (unit variance) from a 64-bit seed, so
// a synthesised file is the same on every machine.
class GaussianNoise {
 public:
  explicit GaussianNoise(std::uint64_t seed) : state_(seed) {}
  double Next();

 private:
  std::uint64_t NextBits();
  double Uniform();  // in (0, 1]
  std::uint64_t state_;
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

// Rounds linear samples to 16 bits, compresses them to mu-law and writes
// them, all or nothing. Close() tells whether everything reached the file;
// until then the destination keeps its earlier content.
class UlawFileWriter {
 public:
  bool Open(const std::string& path, std::string* error);
  void Put(double linear);
  bool Close(std::string* error);

 private:
  void Flush();
  AtomicOutputFile output_;
  std::vector<std::uint8_t> buffer_;
  bool writeFailed_ = false;
};

// Number of samples in `ms` milliseconds at 8000 samples/s, rounded.
std::int64_t MsToSamples(double ms);

}  // namespace quorvane
