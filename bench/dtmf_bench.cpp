#include <benchmark/benchmark.h>

#include "bench_signals.h"
#include "dtmf/exact/dtmf_channel.h"
#include "simd/vector_paths.h"

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

namespace {

// The bulk entry the file and stream runs use, on each vector path.
void BM_DtmfChannelProcessFrames(benchmark::State& state, std::int64_t path) {
  quorvane::ForceVectorPath(path);
  const std::vector<std::uint8_t> signal = quorvane::bench::KeysAndNoise(60);
  std::vector<std::uint8_t> work = signal;
  const std::int64_t frames = static_cast<std::int64_t>(work.size()) / quorvane::kUlawFrameBytes;
  quorvane::DtmfChannel channel;
  quorvane::DtmfKeyList digits;
  for (auto _ : state) {
    digits.keys.clear();
    channel.ProcessFrames(work.data(), frames, 0, digits);
    benchmark::DoNotOptimize(digits.keys.data());
  }
  quorvane::ForceVectorPath(0);
  state.counters["samples/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(work.size()), benchmark::Counter::kIsRate);
}

const bool kRegistered = [] {
  for (std::int64_t path : quorvane::AvailableVectorPaths()) {
    benchmark::RegisterBenchmark(("BM_DtmfChannelProcessFrames/" + quorvane::VectorPathName(path)).c_str(),
                                 BM_DtmfChannelProcessFrames, path);
  }
  return true;
}();

}  // namespace
