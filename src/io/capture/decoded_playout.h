// The audio of an RTP stream's non-G.711 payloads on its way to the 8 kHz
// sink: the payload format's decoder, then the resampler from the codec's
// rate. A payload type change brings a new decoder; what the old
// resampler still held is played out first so no audio is lost.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/capture/decoder_budget.h"
#include "io/capture/payload_decoder.h"
#include "io/capture/payload_format.h"
#include "io/resampler.h"
#include "io/stream_sink.h"

namespace quorvane::io {

class DecodedPlayout {
 public:
  // Makes `format` the one decoded (keeping the decoder when it already
  // is). False, with the reason, when no decoder takes it, or when
  // `budget` has none left to set up: then the stream is never decoded.
  bool Select(const PayloadFormat& format, StreamSink* sink, DecoderBudget& budget, std::string* error);
  bool Selected() const { return decoder_ != nullptr; }
  int Rate() const { return decoder_->Rate(); }
  std::uint32_t ClockRate() const { return decoder_->ClockRate(); }

  // Decodes a payload and plays all but its first `skip` samples; returns
  // how many samples it decoded (at Rate()).
  std::size_t Play(Bytes payload, std::size_t skip, StreamSink* sink);
  // Plays `count` samples of silence (at Rate()).
  void Silence(std::int64_t count, StreamSink* sink);
  // Plays out what the resampler still holds and forgets the decoder.
  void Flush(StreamSink* sink);

 private:
  void Push(const std::int16_t* samples, std::size_t count, StreamSink* sink);

  std::optional<PayloadFormat> format_;
  bool refused_ = false;  // the budget refused a set-up
  std::unique_ptr<PayloadDecoder> decoder_;
  std::unique_ptr<Resampler> resampler_;  // null at 8 kHz
  std::vector<std::int16_t> decoded_;
};

// The rate the decoder of `format` gives (G.722 16000, Opus 48000, AMR-WB
// 16000, L16 its clock, the rest 8000).
int DecodedRateOf(const PayloadFormat& format);

}  // namespace quorvane::io
