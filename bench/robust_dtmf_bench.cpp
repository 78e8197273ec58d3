#include <benchmark/benchmark.h>

#include <cstdio>
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

// Speech in several voices and languages, made by espeak-ng and sox (empty
// when they are missing).
std::vector<std::int16_t> Speech() {
  const char* command =
      "for v in en-us de+f3 fr-fr+m3 it+f2 es pt-br+m1; do espeak-ng -v $v -s 170 --stdout "
      "'Please call me back at your earliest convenience; my number is five five five, one two three four. "
      "The train now arriving at platform nine is the express service to the airport.' 2>/dev/null "
      "| sox -t wav - -t raw -r 8000 -e signed -b 16 -c 1 - 2>/dev/null; done";
  std::vector<std::int16_t> speech;
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) return speech;
  std::int16_t buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, sizeof(buffer[0]), 4096, pipe)) > 0) speech.insert(speech.end(), buffer, buffer + n);
  pclose(pipe);
  return speech;
}

// The robust detector over 60 minutes of speech with a key between
// sentences, fed 20 ms at a time; one pass over the hour per iteration.
void BM_RobustDtmfSpeechAndKeys(benchmark::State& state) {
  const std::vector<std::int16_t> speech = Speech();
  if (speech.empty()) {
    state.SkipWithError("espeak-ng and sox are needed to make speech");
    return;
  }
  const std::vector<std::uint8_t> keys = quorvane::bench::KeysAndNoise(1);
  std::vector<std::int16_t> hour;
  while (hour.size() < 3600u * 8000) {
    hour.insert(hour.end(), speech.begin(), speech.end());
    for (std::uint8_t k : keys) hour.push_back(quorvane::UlawToLinear(k));
  }
  hour.resize(3600u * 8000);
  constexpr std::size_t kChunk = 160;
  for (auto _ : state) {
    quorvane::RobustDtmfDetector detector;
    quorvane::RobustDtmfInit(detector, {});
    quorvane::DtmfKeyList digits;
    for (std::size_t pos = 0; pos < hour.size(); pos += kChunk) {
      quorvane::RobustDtmfProcess(detector, hour.data() + pos, kChunk, digits);
    }
    benchmark::DoNotOptimize(digits.keys.data());
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * hour.size(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RobustDtmfSpeechAndKeys)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
