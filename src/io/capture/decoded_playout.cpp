#include "io/capture/decoded_playout.h"

#include <algorithm>
#include <array>

#include "base/failure.h"

namespace quorvane::io {
namespace {

bool SameFormat(const PayloadFormat& a, const PayloadFormat& b) {
  return a.encoding == b.encoding && a.clockRate == b.clockRate && a.channels == b.channels && a.fmtp == b.fmtp;
}

}  // namespace

int DecodedRateOf(const PayloadFormat& format) {
  if (SameName(format.encoding, "G722") || SameName(format.encoding, "AMR-WB")) return 16000;
  if (SameName(format.encoding, "opus")) return 48000;
  if (SameName(format.encoding, "L16")) return static_cast<int>(format.clockRate);
  return 8000;
}

bool DecodedPlayout::Select(const PayloadFormat& format, StreamSink* sink, DecoderBudget& budget,
                            std::string* error) {
  if (decoder_ && SameFormat(*format_, format)) return true;
  Flush(sink);
  refused_ = refused_ || !budget.Take();
  if (refused_) {
    return Fail(error, "not decoded: the capture holds more decoded streams than its size allows (a decoder per " +
                           std::to_string(DecoderBudget::kBytesPerSetup) + " bytes read, beyond the first " +
                           std::to_string(DecoderBudget::kFreeSetups) + ")");
  }
  decoder_ = PayloadDecoder::Make(format, error);
  if (!decoder_) return false;
  format_ = format;
  if (decoder_->Rate() != 8000) {
    resampler_ = Resampler::Make(decoder_->Rate(), error);
    if (!resampler_) {
      decoder_.reset();
      return false;
    }
  }
  return true;
}

std::size_t DecodedPlayout::Play(Bytes payload, std::size_t skip, StreamSink* sink) {
  decoded_.clear();
  decoder_->Decode(payload, decoded_);
  if (skip < decoded_.size()) Push(decoded_.data() + skip, decoded_.size() - skip, sink);
  return decoded_.size();
}

void DecodedPlayout::Silence(std::int64_t count, StreamSink* sink) {
  static const std::array<std::int16_t, 1024> kSilence{};
  while (count > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count, kSilence.size()));
    Push(kSilence.data(), n, sink);
    count -= static_cast<std::int64_t>(n);
  }
}

void DecodedPlayout::Push(const std::int16_t* samples, std::size_t count, StreamSink* sink) {
  if (sink == nullptr) return;
  if (resampler_) {
    resampler_->Push(samples, count, *sink);
  } else {
    sink->Linear(samples, count);
  }
}

void DecodedPlayout::Flush(StreamSink* sink) {
  if (resampler_ && sink != nullptr) resampler_->Flush(*sink);
  resampler_.reset();
  decoder_.reset();
  format_.reset();
}

}  // namespace quorvane::io
