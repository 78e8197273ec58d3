// Decoding and resampling to 8 kHz of a G.722 and an Opus stream, to set
// beside the exact detector's cost on the same 8 kHz audio
// (BM_DtmfChannelProcessFrame): samples/s of 8 kHz output in both.
#include <benchmark/benchmark.h>

#include "bench_signals.h"
#include "codec/ulaw.h"
#include "io/capture/payload_decoder.h"
#include "io/codec_capture.h"
#include "io/resampler.h"

namespace {

using quorvane::testing::CodecPlan;
using quorvane::testing::SentPayload;

struct CountingSink : quorvane::io::StreamSink {
  std::size_t samples = 0;
  void Ulaw(const std::uint8_t*, std::size_t count) override { samples += count; }
  void Linear(const std::int16_t*, std::size_t count) override { samples += count; }
  void End(const std::optional<quorvane::io::RtpTotals>&) override {}
};

// A minute of keys and noise, as 20 ms payloads of the plan's codec.
std::vector<SentPayload> Payloads(quorvane::testing::TestCodec codec) {
  const std::vector<std::uint8_t> ulaw = quorvane::bench::KeysAndNoise(60);
  std::vector<std::int16_t> linear(ulaw.size());
  for (std::size_t i = 0; i < ulaw.size(); ++i) linear[i] = quorvane::UlawToLinear(ulaw[i]);
  for (const CodecPlan& plan : quorvane::testing::kCodecPlans) {
    if (plan.codec == codec) return quorvane::testing::EncodePayloads(plan, linear);
  }
  return {};
}

void DecodeAndResample(benchmark::State& state, quorvane::testing::TestCodec codec, const char* name,
                       std::uint32_t clock, bool resample = true) {
  const std::vector<SentPayload> payloads = Payloads(codec);
  std::size_t made = 0;
  for (auto _ : state) {
    const auto decoder = quorvane::io::PayloadDecoder::Make({name, clock, 1, ""}, nullptr);
    quorvane::io::Resampler resampler(decoder->Rate());
    CountingSink sink;
    std::vector<std::int16_t> decoded;
    for (const SentPayload& sent : payloads) {
      decoded.clear();
      decoder->Decode(sent.payload, decoded);
      if (resample) {
        resampler.Push(decoded.data(), decoded.size(), sink);
      } else {
        sink.samples += decoded.size() * 8000 / static_cast<std::size_t>(decoder->Rate());
      }
    }
    resampler.Flush(sink);
    made += sink.samples;
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(made), benchmark::Counter::kIsRate);
}

void BM_DecodeResampleG722(benchmark::State& state) {
  DecodeAndResample(state, quorvane::testing::TestCodec::G722, "G722", 8000);
}
BENCHMARK(BM_DecodeResampleG722)->Unit(benchmark::kMillisecond);

void BM_DecodeResampleOpus(benchmark::State& state) {
  DecodeAndResample(state, quorvane::testing::TestCodec::Opus, "opus", 48000);
}
BENCHMARK(BM_DecodeResampleOpus)->Unit(benchmark::kMillisecond);

// The decoders alone, to see what the resampling costs.
void BM_DecodeOnlyG722(benchmark::State& state) {
  DecodeAndResample(state, quorvane::testing::TestCodec::G722, "G722", 8000, false);
}
BENCHMARK(BM_DecodeOnlyG722)->Unit(benchmark::kMillisecond);

void BM_DecodeOnlyOpus(benchmark::State& state) {
  DecodeAndResample(state, quorvane::testing::TestCodec::Opus, "opus", 48000, false);
}
BENCHMARK(BM_DecodeOnlyOpus)->Unit(benchmark::kMillisecond);

}  // namespace
