// Runs the robust DTMF detector over headerless 8 kHz mu-law files and prints
// one JSON object per event (for the quality evaluation):
//   {"file": "x.pcm", "digit": "5", "time": 0.05, "duration": 0.04, ...}
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "codec/ulaw.h"
#include "dtmf/robust_dtmf_detector.h"

namespace {

struct Output {
  const char* file;
};

void Print(void* context, const quorvane::RobustDtmfEvent& e) {
  std::printf(
      "{\"file\": \"%s\", \"digit\": \"%c\", \"time\": %.4f, \"duration\": %.4f, \"lowLevel\": %.1f, "
      "\"highLevel\": %.1f, \"twist\": %.1f, \"snr\": %.1f}\n",
      static_cast<Output*>(context)->file, e.digit, e.start / 8000.0, e.duration / 8000.0, e.lowLevel, e.highLevel,
      e.twist, e.snr);
}

}  // namespace

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot open\n", argv[i]);
      status = 1;
      continue;
    }
    const std::vector<std::uint8_t> ulaw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(ulaw.size());
    quorvane::UlawBufferToLinear(ulaw.data(), samples.data(), static_cast<int>(ulaw.size()));
    Output output{argv[i]};
    quorvane::RobustDtmfDetector detector;
    quorvane::RobustDtmfInit(&detector);
    quorvane::RobustDtmfProcess(&detector, samples.data(), static_cast<std::int64_t>(samples.size()), Print, &output);
    quorvane::RobustDtmfFinish(&detector, Print, &output);
  }
  return status;
}
