#include "io/channel_streams.h"

#include "base/failure.h"
#include "io/resampler.h"

namespace quorvane::io {

bool ChannelStreams::Open(const std::string& path, const InputInfo& input, int keepChannel, StreamSinkFactory& factory,
                          std::string* error) {
  if (keepChannel > input.channels) {
    return Fail(error, "there is no channel " + std::to_string(keepChannel) + " (the input has " +
                           std::to_string(input.channels) + ")");
  }
  if (input.rate != 8000 && !Resampler::Supports(input.rate, error)) return false;
  frameWidth_ = input.channels;
  for (int n = 1; n <= input.channels; ++n) {
    if (keepChannel != 0 && n != keepChannel) continue;
    Channel channel{n - 1, nullptr};
    StreamInfo info;
    info.name = input.channels == 1 ? path : path + "#" + std::to_string(n);
    info.channel = input.channels == 1 ? 0 : n;
    info.input = input;
    channel.sink = factory.OpenAtRate(info, input.rate);
    channels_.push_back(std::move(channel));
  }
  return true;
}

void ChannelStreams::Ulaw(const std::uint8_t* interleaved, std::size_t frames) {
  for (Channel& channel : channels_) {
    const std::uint8_t* bytes = interleaved + channel.index;
    if (frameWidth_ != 1) {
      bytes_.resize(frames);
      for (std::size_t i = 0; i < frames; ++i) bytes_[i] = interleaved[i * frameWidth_ + channel.index];
      bytes = bytes_.data();
    }
    channel.sink->Ulaw(bytes, frames);
  }
}

void ChannelStreams::Linear(const std::int16_t* interleaved, std::size_t frames) {
  for (Channel& channel : channels_) {
    const std::int16_t* samples = interleaved + channel.index;
    if (frameWidth_ != 1) {
      samples_.resize(frames);
      for (std::size_t i = 0; i < frames; ++i) samples_[i] = interleaved[i * frameWidth_ + channel.index];
      samples = samples_.data();
    }
    channel.sink->Linear(samples, frames);
  }
}

void ChannelStreams::End() {
  for (Channel& channel : channels_) channel.sink->End(std::nullopt);
}

}  // namespace quorvane::io
