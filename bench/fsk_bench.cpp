#include <benchmark/benchmark.h>

#include <memory>

#include "bench_signals.h"
#include "callerid/synth.h"
#include "callerid/exact/fsk_receiver.h"
#include "callerid/robust/receiver.h"

namespace {

// A caller-ID burst every 2 s, silence between.
std::vector<std::uint8_t> Bursts(int seconds) {
  std::vector<bool> bits;
  std::vector<std::uint8_t> message = {0x04, 18, '1', '2', '0', '8', '1', '5', '3', '0'};
  for (char c : std::string("5551234567")) message.push_back(static_cast<std::uint8_t>(c));
  unsigned sum = 0;
  for (std::uint8_t b : message) sum += b;
  message.push_back(static_cast<std::uint8_t>(-sum & 0xFF));
  for (int i = 0; i < 30; ++i) quorvane::AppendFskCharacter(bits, 0x55);
  bits.insert(bits.end(), 180, true);
  for (std::uint8_t b : message) quorvane::AppendFskCharacter(bits, b);
  std::vector<std::uint8_t> burst;
  quorvane::ModulateFsk(bits, 1200, 2200, 5083, [&](double x) {
    burst.push_back(quorvane::LinearToUlaw(static_cast<std::int16_t>(std::lround(x))));
  });
  burst.resize(2 * quorvane::kSampleRate, 0xFF);
  std::vector<std::uint8_t> out;
  for (int i = 0; i < seconds / 2; ++i) out.insert(out.end(), burst.begin(), burst.end());
  return out;
}

void BM_FskReceiverProcessFrame(benchmark::State& state) {
  const std::vector<std::uint8_t> signal = Bursts(60);
  auto receiver = std::make_unique<quorvane::FskReceiver>();
  receiver->Init(1);
  std::size_t pos = 0;
  int accepted = 0;
  for (auto _ : state) {
    accepted += receiver->ProcessFrame(signal.data() + pos, quorvane::kUlawFrameBytes) == 1;
    pos += quorvane::kUlawFrameBytes;
    if (pos + quorvane::kUlawFrameBytes > signal.size()) pos = 0;
  }
  benchmark::DoNotOptimize(accepted);
  state.counters["samples/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * quorvane::kUlawFrameBytes, benchmark::Counter::kIsRate);
  state.counters["messages"] = accepted;
}
BENCHMARK(BM_FskReceiverProcessFrame);

}  // namespace

namespace {

// The robust receiver over the same bursts as linear samples, 160 at a time.
void BM_RobustCallerIdProcess(benchmark::State& state) {
  const std::vector<std::uint8_t> codes = Bursts(60);
  std::vector<std::int16_t> signal(codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) signal[i] = quorvane::UlawToLinear(codes[i]);
  auto receiver = std::make_unique<quorvane::RobustCallerIdReceiver>();
  quorvane::CallerIdEventList events;
  quorvane::RobustCallerIdInit(*receiver, {});
  std::size_t pos = 0;
  for (auto _ : state) {
    quorvane::RobustCallerIdProcess(*receiver, signal.data() + pos, 160, events);
    pos += 160;
    if (pos + 160 > signal.size()) pos = 0;
  }

  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 160, benchmark::Counter::kIsRate);
  state.counters["messages"] = static_cast<double>(events.messages.size());
}
BENCHMARK(BM_RobustCallerIdProcess);

}  // namespace

namespace {

// The robust receiver's slowest case: a tone on every bit, so every bit
// goes through both sequence searches.
void BM_RobustCallerIdEveryBitATone(benchmark::State& state) {
  std::vector<bool> bits;
  std::uint32_t lfsr = 1;
  for (int i = 0; i < 60 * 1200; ++i) {
    lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xA3000000u);
    bits.push_back((lfsr & 1u) != 0);
  }
  std::vector<std::int16_t> signal;
  quorvane::ModulateFsk(bits, 1200, 2200, 5083,
                        [&](double x) { signal.push_back(static_cast<std::int16_t>(std::lround(x))); });
  auto receiver = std::make_unique<quorvane::RobustCallerIdReceiver>();
  quorvane::CallerIdEventList events;
  quorvane::RobustCallerIdInit(*receiver, {});
  std::size_t pos = 0;
  for (auto _ : state) {
    quorvane::RobustCallerIdProcess(*receiver, signal.data() + pos, 160, events);
    pos += 160;
    if (pos + 160 > signal.size()) pos = 0;
  }
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 160, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RobustCallerIdEveryBitATone);

}  // namespace
