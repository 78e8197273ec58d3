#include "io/headerless_reader.h"

#include <cstring>
#include <vector>

#include "codec/alaw.h"
#include "codec/ulaw.h"
#include "io/channel_streams.h"
#include "io/fd_reading.h"
#include "io/float_samples.h"

#include "base/failure.h"

namespace quorvane::io {
namespace {

std::size_t BytesPerSample(SampleFormat format) {
  switch (format) {
    case SampleFormat::Ulaw:
    case SampleFormat::Alaw: return 1;
    case SampleFormat::S16le:
    case SampleFormat::S16be: return 2;
    case SampleFormat::F32le: return 4;
  }
  return 1;
}

void ToLinear(SampleFormat format, const std::uint8_t* in, std::size_t count, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    switch (format) {
      case SampleFormat::Ulaw: out[i] = UlawToLinear(in[i]); break;
      case SampleFormat::Alaw: out[i] = AlawToLinear(in[i]); break;
      case SampleFormat::S16le: out[i] = static_cast<std::int16_t>(in[2 * i] | (in[2 * i + 1] << 8)); break;
      case SampleFormat::S16be: out[i] = static_cast<std::int16_t>((in[2 * i] << 8) | in[2 * i + 1]); break;
      case SampleFormat::F32le: {
        const std::uint32_t bits = static_cast<std::uint32_t>(in[4 * i]) | (in[4 * i + 1] << 8) |
                                   (in[4 * i + 2] << 16) | (static_cast<std::uint32_t>(in[4 * i + 3]) << 24);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        out[i] = FloatToSample(value);
        break;
      }
    }
  }
}

const char* EncodingName(SampleFormat format) {
  switch (format) {
    case SampleFormat::Ulaw: return "ulaw";
    case SampleFormat::Alaw: return "alaw";
    case SampleFormat::S16le:
    case SampleFormat::S16be: return "pcm16";
    case SampleFormat::F32le: return "float";
  }
  return "";
}

}  // namespace

bool ReadHeaderless(const std::string& name, int fd, const std::uint8_t* head, std::size_t n,
                    const InputOptions& options, StreamSinkFactory& factory, std::string* error) {
  const InputInfo info{"raw", EncodingName(options.format), options.rate, 1};
  ChannelStreams streams;
  if (!streams.Open(name, info, options.channel, factory, error)) return false;

  const bool untouched = options.format == SampleFormat::Ulaw && options.rate == 8000;
  const std::size_t width = BytesPerSample(options.format);
  // The block holds a partial sample carried from the last read at its start.
  std::vector<std::uint8_t> block(kReadBlock + width);
  std::vector<std::int16_t> samples(untouched ? 0 : (kReadBlock + width) / width);
  std::memcpy(block.data(), head, n);
  std::size_t filled = n;
  for (;;) {
    const std::size_t whole = filled / width;
    if (untouched) {
      streams.Ulaw(block.data(), whole);
    } else {
      ToLinear(options.format, block.data(), whole, samples.data());
      streams.Linear(samples.data(), whole);
    }
    const std::size_t rest = filled - whole * width;
    std::memmove(block.data(), block.data() + whole * width, rest);
    const ssize_t got = ReadSome(fd, block.data() + rest, kReadBlock, options.stop);
    if (got < 0) return Fail(error, ReadFailure());
    if (got == 0) break;
    filled = rest + static_cast<std::size_t>(got);
  }
  streams.End();
  return true;
}

}  // namespace quorvane::io
