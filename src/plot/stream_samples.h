// One stream of any input the command line reads, whole, as 8 kHz samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/input_options.h"
#include "io/stream_sink.h"

namespace quorvane::plot {

struct StreamSamples {
  io::StreamInfo info;
  std::vector<std::int16_t> samples;
  int streamCount = 0;  // streams the input holds
};

// Reads `path` ("-" is standard input) through the input layer and keeps
// one stream: the one whose name, SSRC (0x...) or 1-based number is `wanted`,
// or the first when `wanted` is empty. False with the reason when it
// failed; `usage` then tells a stream that is not there from an input that
// is unreadable.
bool ReadStreamSamples(const std::string& path, const io::InputOptions& options, const std::string& wanted,
                       StreamSamples& stream, std::string* error, bool* usage = nullptr);

// "wav pcm16, 16000 Hz, 2 channels" and the like, for titles.
std::string DescribeInput(const io::StreamInfo& info);

}  // namespace quorvane::plot
