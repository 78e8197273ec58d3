// Containers read with libsndfile: WAV, RF64, AIFF, AU, CAF, FLAC, Ogg, ...
#pragma once

#include <string>

#include "io/input_options.h"
#include "io/stream_sink.h"

namespace quorvane::io {

// Reads the container at `fd` (positioned at its first byte; closed here);
// its streams are named after `name`.
// `live` reads in 20 ms blocks, so a pipe's results come as its audio does.
// 8 kHz mu-law goes on as its stored bytes; everything else as 16-bit
// linear samples. False, with the reason, when it
// could not be read to its end.
bool ReadContainer(const std::string& name, int fd, bool live, const InputOptions& options,
                          StreamSinkFactory& factory, std::string* error);

}  // namespace quorvane::io
