// The generator's list parsing on arbitrary text with arbitrary repeat
// counts (the output counted, not stored).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/pcm_generator.h"

namespace {

class CountingOutput : public quorvane::OutputFile {
 public:
  bool Open(const std::string&, std::string*) override { return true; }
  bool Write(const std::uint8_t*, std::size_t size) override {
    written += size;
    return true;
  }
  bool Commit(std::string*) override { return true; }
  void Abort() override {}
  std::uint64_t written = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto repeat = input.ConsumeIntegral<std::uint32_t>();
  const std::string text = input.ConsumeRemainingBytesAsString();
  std::uint8_t list[256];
  const int count = quorvane::ParseHexList(text, list);
  if (count < 0 || count > 255) std::abort();
  CountingOutput output;
  const std::uint32_t times = repeat % (quorvane::kMaxRepeatCount + 1);
  if (quorvane::GeneratePcmFile(text, times, output, nullptr) && output.written != static_cast<std::uint64_t>(count) * times) {
    std::abort();
  }
  return 0;
}
