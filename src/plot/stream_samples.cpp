#include "plot/stream_samples.h"

#include <cstdio>

#include "codec/ulaw.h"
#include "io/input_reader.h"

#include "base/failure.h"

namespace quorvane::plot {
namespace {

bool Matches(const io::StreamInfo& info, int number, const std::string& wanted) {
  if (wanted.empty()) return number == 1;
  if (wanted == info.name || wanted == std::to_string(number)) return true;
  if (!info.rtp) return false;
  char ssrc[16];
  std::snprintf(ssrc, sizeof ssrc, "0x%08x", info.rtp->ssrc);
  return wanted == ssrc;
}

class CollectingSink final : public io::StreamSink {
 public:
  explicit CollectingSink(std::vector<std::int16_t>& samples) : samples_(samples) {}
  void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
    const std::size_t at = samples_.size();
    samples_.resize(at + count);
    UlawBufferToLinear(bytes, samples_.data() + at, static_cast<int>(count));
  }
  void Linear(const std::int16_t* samples, std::size_t count) override {
    samples_.insert(samples_.end(), samples, samples + count);
  }
  void End(const std::optional<io::RtpTotals>&) override {}

 private:
  std::vector<std::int16_t>& samples_;
};

class IgnoringSink final : public io::StreamSink {
 public:
  void Ulaw(const std::uint8_t*, std::size_t) override {}
  void Linear(const std::int16_t*, std::size_t) override {}
  void End(const std::optional<io::RtpTotals>&) override {}
};

class PickingFactory final : public io::StreamSinkFactory {
 public:
  PickingFactory(const std::string& wanted, StreamSamples& stream) : wanted_(wanted), stream_(stream) {}
  std::unique_ptr<io::StreamSink> Open(const io::StreamInfo& info) override {
    stream_.streamCount += 1;
    if (!found_ && Matches(info, stream_.streamCount, wanted_)) {
      found_ = true;
      stream_.info = info;
      return std::make_unique<CollectingSink>(stream_.samples);
    }
    return std::make_unique<IgnoringSink>();
  }
  bool found() const { return found_; }

 private:
  const std::string& wanted_;
  StreamSamples& stream_;
  bool found_ = false;
};

}  // namespace

bool ReadStreamSamples(const std::string& path, const io::InputOptions& options, const std::string& wanted,
                       StreamSamples& stream, std::string* error, bool* usage) {
  stream = StreamSamples{};
  PickingFactory factory(wanted, stream);
  if (usage) *usage = false;
  if (!io::ReadInput(path, options, factory, error)) return false;
  if (factory.found()) return true;
  if (usage) *usage = !wanted.empty();
  return Fail(error, wanted.empty() ? "no audio stream in the input"
                                    : "no stream " + wanted + " (the input has " + std::to_string(stream.streamCount) +
                                          ")");
}

std::string DescribeInput(const io::StreamInfo& info) {
  std::string text = info.input.container + " " + info.input.encoding + ", " + std::to_string(info.input.rate) + " Hz";
  if (info.input.channels > 1) text += ", " + std::to_string(info.input.channels) + " channels";
  if (info.input.rate != 8000) text += ", resampled to 8000 Hz";
  return text;
}

}  // namespace quorvane::plot
