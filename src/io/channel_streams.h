// One input's channels as streams: a sink per kept channel, fed in order
// at the input's rate (the factory's sinks resample to 8 kHz).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/stream_sink.h"

namespace quorvane::io {

class ChannelStreams {
 public:
  // Opens a sink for every channel of `input` (or only `keepChannel`,
  // 1-based, when it is not 0); named PATH for one channel, else PATH#N.
  // False with the reason for a channel the input does not have, or a rate
  // that cannot be resampled.
  bool Open(const std::string& path, const InputInfo& input, int keepChannel, StreamSinkFactory& factory,
            std::string* error);

  // `frames` frames of interleaved 8 kHz mu-law bytes, passed on untouched.
  void Ulaw(const std::uint8_t* interleaved, std::size_t frames);
  // `frames` frames of interleaved 16-bit samples at the input's rate.
  void Linear(const std::int16_t* interleaved, std::size_t frames);
  void End();

 private:
  struct Channel {
    int index;  // 0-based within a frame
    std::unique_ptr<StreamSink> sink;
  };
  std::vector<Channel> channels_;
  int frameWidth_ = 1;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::int16_t> samples_;
};

}  // namespace quorvane::io
