// Headerless samples: one channel in --input-format at --rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/input_options.h"
#include "io/stream_sink.h"

namespace quorvane::io {

// Reads `fd` to its end after the `n` bytes of `head` already taken from
// it, block by block, so a pipe's samples go on as soon as they arrive;
// the stream is named `name`.
// 8 kHz mu-law goes on as the bytes themselves. False, with the reason, when it
// could not be read to its end.
bool ReadHeaderless(const std::string& name, int fd, const std::uint8_t* head, std::size_t n,
                    const InputOptions& options, StreamSinkFactory& factory, std::string* error);

}  // namespace quorvane::io
