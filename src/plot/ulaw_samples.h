// A headerless mu-law recording, whole, as 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::plot {

// Reads every byte of `path` ("-" is standard input) and expands it; false
// with the reason in `error` when it cannot be read.
bool ReadUlawSamples(const std::string& path, std::vector<std::int16_t>& samples, std::string& error);

}  // namespace quorvane::plot
