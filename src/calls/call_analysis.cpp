#include "calls/call_analysis.h"

#include <algorithm>

#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr std::size_t kExpandBlock = 1024;

// One stream's audio through a DTMF detector; each key joins the call at
// the capture time its sample position stands for.
class InBandSink final : public io::StreamSink, private DetectionEvents {
 public:
  InBandSink(DetectorProfile profile, io::Call& call, std::size_t stream, CallsReporter& reporter)
      : call_(call), stream_(stream), reporter_(reporter) {
    DetectorSettings settings;
    settings.kind = DetectorKind::Dtmf;
    settings.profile = profile;
    detector_ = MakeStreamDetector(settings, *this);
  }
  void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
    std::int16_t samples[kExpandBlock];
    while (count > 0) {
      const std::size_t n = std::min(count, kExpandBlock);
      for (std::size_t i = 0; i < n; ++i) samples[i] = UlawToLinear(bytes[i]);
      detector_->Samples(samples, n);
      bytes += n;
      count -= n;
    }
  }
  void Linear(const std::int16_t* samples, std::size_t count) override { detector_->Samples(samples, count); }
  // A stream too short for one frame simply has no in-band keys.
  void End(const std::optional<io::RtpTotals>&) override { detector_->Finish(nullptr); }

 private:
  void Key(const DtmfKeyEvent& event) override {
    if (call_.keys.size() >= io::kMaxKeysPerCall) return;
    const io::CallStream& stream = call_.streams[stream_];
    io::CallKey key;
    key.key = event.key;
    key.path = io::DtmfPath::InBand;
    key.direction = stream.direction;
    key.time = stream.firstAudio.value_or(call_.start) + static_cast<double>(event.start) / 8000.0;
    if (event.duration > 0) key.duration = static_cast<double>(event.duration) / 8000.0;
    call_.keys.push_back(key);
    reporter_.Key(call_, key);
  }

  io::Call& call_;
  std::size_t stream_;
  CallsReporter& reporter_;
  std::unique_ptr<StreamDetector> detector_;
};

}  // namespace

std::unique_ptr<io::StreamSink> CallAnalysis::OpenAudio(io::Call& call, std::size_t stream) {
  return std::make_unique<InBandSink>(profile_, call, stream, reporter_);
}

void CallAnalysis::Ended(io::Call& call) {
  std::stable_sort(call.keys.begin(), call.keys.end(),
                   [](const io::CallKey& a, const io::CallKey& b) { return a.time < b.time; });
  reporter_.CallDone(call, JudgeCall(call));
}

}  // namespace quorvane
