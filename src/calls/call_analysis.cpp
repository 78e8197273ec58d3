#include "calls/call_analysis.h"

#include <algorithm>
#include <array>

#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr std::size_t kBlock = 1600;

// One stream's audio through a DTMF detector; each key joins the call at
// the capture time its sample position stands for.
class InBandSink final : public io::StreamSink, private DetectionEvents {
 public:
  InBandSink(DetectorProfile profile, io::Call& call, std::size_t stream, CallsReporter& reporter)
      : call_(call), stream_(stream), reporter_(reporter) {
    DetectorSettings settings;
    settings.kind = DetectorKind::Dtmf;
    settings.profile = profile;
    settings.deferLargeState = true;
    detector_ = MakeStreamDetector(settings, *this);
  }
  void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
    while (count > 0) {
      const std::size_t n = std::min(count, kBlock - held_);
      for (std::size_t i = 0; i < n; ++i) block_[held_ + i] = UlawToLinear(bytes[i]);
      Held(n);
      bytes += n;
      count -= n;
    }
  }
  void Linear(const std::int16_t* samples, std::size_t count) override {
    while (count > 0) {
      const std::size_t n = std::min(count, kBlock - held_);
      std::copy(samples, samples + n, block_.begin() + static_cast<std::ptrdiff_t>(held_));
      Held(n);
      samples += n;
      count -= n;
    }
  }
  // A stream too short for one frame simply has no in-band keys.
  void End(const std::optional<io::RtpTotals>&) override {
    if (held_ > 0) detector_->Samples(block_.data(), held_);
    held_ = 0;
    detector_->Finish(nullptr);
  }

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

  // The detector takes ten frames at a time: its vector lanes fill, where
  // a packet's one frame would leave most of them idle.
  void Held(std::size_t added) {
    held_ += added;
    if (held_ < kBlock) return;
    detector_->Samples(block_.data(), held_);
    held_ = 0;
  }

  io::Call& call_;
  std::size_t stream_;
  CallsReporter& reporter_;
  std::unique_ptr<StreamDetector> detector_;
  std::array<std::int16_t, kBlock> block_;
  std::size_t held_ = 0;
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
