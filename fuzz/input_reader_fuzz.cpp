// ReadInput on arbitrary files: the sniffing, the headerless formats and
// libsndfile's headers must never crash, and every stream opened is ended
// once when the input reads to its end.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/input_reader.h"

namespace {

class CountingSink : public quorvane::io::StreamSink {
 public:
  explicit CountingSink(int& open) : open_(open) { ++open_; }
  void Ulaw(const std::uint8_t*, std::size_t) override {}
  void Linear(const std::int16_t*, std::size_t) override {}
  void End(const std::optional<quorvane::io::RtpTotals>&) override { --open_; }

 private:
  int& open_;
};

struct CountingFactory : quorvane::io::StreamSinkFactory {
  int open = 0;
  std::unique_ptr<quorvane::io::StreamSink> Open(const quorvane::io::StreamInfo&) override {
    return std::make_unique<CountingSink>(open);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/quorvane-input-fuzz-" + std::to_string(getpid());
  if (size < 1) return 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  // The first byte picks the headerless format and rate.
  static constexpr quorvane::io::SampleFormat kFormats[] = {
      quorvane::io::SampleFormat::Ulaw, quorvane::io::SampleFormat::Alaw, quorvane::io::SampleFormat::S16le,
      quorvane::io::SampleFormat::S16be, quorvane::io::SampleFormat::F32le};
  quorvane::io::InputOptions options;
  options.format = kFormats[data[0] % 5];
  options.rate = (data[0] & 0x80) ? 11025 : 8000;
  CountingFactory factory;
  if (quorvane::io::ReadInput(path, options, factory, nullptr) && factory.open != 0) std::abort();
  return 0;
}
