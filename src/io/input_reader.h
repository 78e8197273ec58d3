// The command line's way in: any input, found by its content, as streams.
#pragma once

#include <string>

#include "io/input_options.h"
#include "io/stream_sink.h"

namespace quorvane::io {

// Reads `path` ("-" for standard input) and opens a sink from `factory`
// for each of its streams, feeding it in order as the input is read. Its
// streams are named after `path`, or `options.stdinName` for standard input.
// False, with the reason, when the input could not be read whole.
bool ReadInput(const std::string& path, const InputOptions& options, StreamSinkFactory& factory, std::string* error);

}  // namespace quorvane::io
