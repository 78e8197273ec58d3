#include "io/container_reader.h"

#include <sndfile.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "io/channel_streams.h"
#include "io/float_samples.h"

#include "base/failure.h"

namespace quorvane::io {
namespace {

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

const char* ContainerName(int major) {
  switch (major) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX: return "wav";
    case SF_FORMAT_RF64: return "rf64";
    case SF_FORMAT_AIFF: return "aiff";
    case SF_FORMAT_AU: return "au";
    case SF_FORMAT_CAF: return "caf";
    case SF_FORMAT_FLAC: return "flac";
    case SF_FORMAT_OGG: return "ogg";
    case SF_FORMAT_W64: return "w64";
    default: return "other";
  }
}

const char* EncodingName(int sub) {
  switch (sub) {
    case SF_FORMAT_ULAW: return "ulaw";
    case SF_FORMAT_ALAW: return "alaw";
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return "pcm8";
    case SF_FORMAT_PCM_16: return "pcm16";
    case SF_FORMAT_PCM_24: return "pcm24";
    case SF_FORMAT_PCM_32: return "pcm32";
    case SF_FORMAT_FLOAT: return "float";
    case SF_FORMAT_DOUBLE: return "double";
    case SF_FORMAT_IMA_ADPCM: return "ima-adpcm";
    case SF_FORMAT_MS_ADPCM: return "ms-adpcm";
    case SF_FORMAT_GSM610: return "gsm610";
    case SF_FORMAT_VORBIS: return "vorbis";
    case SF_FORMAT_OPUS: return "opus";
    default: return "other";
  }
}

// Encodings decoded to floating point: read as such and scaled here, since
// libsndfile hands them to a 16-bit read unscaled.
bool IsFloatingPoint(int sub) {
  return sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE || sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS;
}

// Bytes a frame takes as stored, where that is fixed (0 where it is not).
std::size_t StoredFrameBytes(int sub, std::size_t channels) {
  switch (sub) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return channels;
    case SF_FORMAT_PCM_16: return 2 * channels;
    case SF_FORMAT_PCM_24: return 3 * channels;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 4 * channels;
    case SF_FORMAT_DOUBLE: return 8 * channels;
    default: return 0;
  }
}

// Frames for the next read. libsndfile fills a read of a pipe whole, so a
// live line is asked for 20 ms at a time, or for all that has already
// arrived where that is more: a pipe that runs ahead then costs one call
// per block, not one per 20 ms.
class ReadSize {
 public:
  ReadSize(int fd, bool live, const SF_INFO& format)
      : fd_(fd), live_(live), frameBytes_(StoredFrameBytes(format.format & SF_FORMAT_SUBMASK,
                                                           static_cast<std::size_t>(format.channels))) {
    const auto channels = static_cast<std::size_t>(format.channels);
    liveFrames_ = std::max<std::size_t>(1, static_cast<std::size_t>(format.samplerate) / 50);
    largest_ = std::max(liveFrames_, std::max<std::size_t>(1, 65536 / channels));
  }
  std::size_t Largest() const { return largest_; }
  std::size_t Next() const {
    if (!live_) return largest_;
    int queued = 0;
    if (frameBytes_ == 0 || ioctl(fd_, FIONREAD, &queued) != 0 || queued <= 0) return liveFrames_;
    return std::clamp(static_cast<std::size_t>(queued) / frameBytes_, liveFrames_, largest_);
  }

 private:
  int fd_;
  bool live_;
  std::size_t frameBytes_;
  std::size_t liveFrames_;
  std::size_t largest_;
};

bool Stopped(const InputOptions& options) { return options.stop != nullptr && options.stop->load(); }

}  // namespace

bool ReadContainer(const std::string& name, int fd, bool live, const InputOptions& options,
                   StreamSinkFactory& factory, std::string* error) {
  SF_INFO format{};
  std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_fd(fd, SFM_READ, &format, SF_TRUE));
  if (!file) return Fail(error, std::string("cannot decode: ") + sf_strerror(nullptr));
  if (format.channels < 1 || format.channels > kMaxChannels) {
    return Fail(error, "the header names " + std::to_string(format.channels) + " channels");
  }
  if (format.samplerate < kMinRate || format.samplerate > kMaxRate) {
    return Fail(error, "the header names a rate of " + std::to_string(format.samplerate) + " Hz");
  }
  const InputInfo info{ContainerName(format.format & SF_FORMAT_TYPEMASK), EncodingName(format.format & SF_FORMAT_SUBMASK),
                       format.samplerate, format.channels};
  ChannelStreams streams;
  if (!streams.Open(name, info, options.channel, factory, error)) return false;

  const std::size_t channels = static_cast<std::size_t>(format.channels);
  const ReadSize size(fd, live, format);
  const std::size_t frames = size.Largest();
  if (info.encoding == std::string("ulaw") && format.samplerate == 8000) {
    // The stored bytes themselves, exactly as a headerless file gives them.
    std::vector<std::uint8_t> block(frames * channels);
    for (;;) {
      const sf_count_t got = sf_read_raw(file.get(), block.data(), static_cast<sf_count_t>(size.Next() * channels));
      if (got <= 0 || Stopped(options)) break;
      streams.Ulaw(block.data(), static_cast<std::size_t>(got) / channels);
    }
  } else if (IsFloatingPoint(format.format & SF_FORMAT_SUBMASK)) {
    std::vector<float> values(frames * channels);
    std::vector<std::int16_t> block(frames * channels);
    for (;;) {
      const sf_count_t got = sf_readf_float(file.get(), values.data(), static_cast<sf_count_t>(size.Next()));
      if (got <= 0 || Stopped(options)) break;
      const std::size_t n = static_cast<std::size_t>(got) * channels;
      for (std::size_t i = 0; i < n; ++i) block[i] = FloatToSample(values[i]);
      streams.Linear(block.data(), static_cast<std::size_t>(got));
    }
  } else {
    std::vector<std::int16_t> block(frames * channels);
    for (;;) {
      const sf_count_t got = sf_readf_short(file.get(), block.data(), static_cast<sf_count_t>(size.Next()));
      if (got <= 0 || Stopped(options)) break;
      streams.Linear(block.data(), static_cast<std::size_t>(got));
    }
  }
  if (sf_error(file.get()) != SF_ERR_NO_ERROR) return Fail(error, std::string("cannot decode: ") + sf_strerror(file.get()));
  streams.End();
  return true;
}

}  // namespace quorvane::io
