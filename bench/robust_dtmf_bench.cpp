#include <benchmark/benchmark.h>

#include <vector>

#include "bench_signals.h"
#include "dtmf/robust/detector.h"

namespace {

// The robust detector over a minute of keys in light noise, fed 20 ms at a time.
void BM_RobustDtmfProcess(benchmark::State& state) {
  const std::vector<std::uint8_t> ulaw = quorvane::bench::KeysAndNoise(60);
  std::vector<std::int16_t> samples(ulaw.size());
  quorvane::UlawBufferToLinear(ulaw.data(), samples.data(), static_cast<int>(ulaw.size()));
  constexpr std::size_t kChunk = 160;
  quorvane::RobustDtmfDetector detector;
  quorvane::RobustDtmfInit(detector, {});
  quorvane::DtmfKeyList digits;
  std::size_t pos = 0;
  for (auto _ : state) {
    quorvane::RobustDtmfProcess(detector, samples.data() + pos, kChunk, digits);
    pos += kChunk;
    if (pos + kChunk > samples.size()) pos = 0;
  }
  benchmark::DoNotOptimize(digits.keys.data());
  state.SetItemsProcessed(state.iterations() * kChunk);
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kChunk, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RobustDtmfProcess);

}  // namespace
