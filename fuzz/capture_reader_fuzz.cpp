// ReadCapture on arbitrary files: whatever libpcap lets through must end
// every stream it opened and never crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/capture/capture_reader.h"

namespace {

// Checks the stream contract as it goes: samples and events only between
// Open and End, End exactly once.
class CheckingSink : public quorvane::io::StreamSink {
 public:
  explicit CheckingSink(int& open) : open_(open) { ++open_; }
  void Ulaw(const std::uint8_t*, std::size_t) override { Check(); }
  void Linear(const std::int16_t*, std::size_t) override { Check(); }
  void Event(const quorvane::io::TelephoneEvent& event) override {
    Check();
    if (event.startSample < 0 || event.durationSamples < 0) std::abort();
  }
  void End(const std::optional<quorvane::io::RtpTotals>& rtp) override {
    Check();
    if (!rtp || rtp->packets < 0 || rtp->duplicates < 0) std::abort();
    ended_ = true;
    --open_;
  }

 private:
  void Check() const {
    if (ended_) std::abort();
  }
  int& open_;
  bool ended_ = false;
};

struct CheckingFactory : quorvane::io::StreamSinkFactory {
  int open = 0;
  std::unique_ptr<quorvane::io::StreamSink> Open(const quorvane::io::StreamInfo&) override {
    return std::make_unique<CheckingSink>(open);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/quorvane-capture-fuzz-" + std::to_string(getpid());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  CheckingFactory factory;
  quorvane::io::ReadCapture(path, factory, nullptr);
  if (factory.open != 0) std::abort();
  return 0;
}
