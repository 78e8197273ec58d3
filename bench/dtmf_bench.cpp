#include <benchmark/benchmark.h>

#include "bench_signals.h"
#include "dtmf/dtmf_channel.h"

namespace {

void BM_DtmfChannelProcessFrame(benchmark::State& state) {
  const std::vector<std::uint8_t> signal = quorvane::bench::KeysAndNoise(60);
  std::vector<std::uint8_t> work = signal;
  quorvane::DtmfChannel channel;
  std::size_t pos = 0;
  int digits = 0;
  for (auto _ : state) {
    char digit = 0;
    channel.ProcessFrame(work.data() + pos, quorvane::kUlawFrameBytes, &digit);
    digits += digit != 0;
    pos += quorvane::kUlawFrameBytes;
    if (pos + quorvane::kUlawFrameBytes > work.size()) pos = 0;
  }
  benchmark::DoNotOptimize(digits);
  state.SetItemsProcessed(state.iterations() * quorvane::kUlawFrameBytes);
  state.counters["samples/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * quorvane::kUlawFrameBytes, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DtmfChannelProcessFrame);

}  // namespace
