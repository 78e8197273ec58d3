// Our MD5 against OpenSSL's over 1 MiB buffers, in one run.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <vector>

#include "auth/md5.h"

namespace {

const std::vector<std::uint8_t>& MiB() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> d(1 << 20);
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return d;
  }();
  return data;
}

void BM_Md5Quorvane(benchmark::State& state) {
  const auto& data = MiB();
  std::uint8_t digest[16];
  for (auto _ : state) {
    quorvane::Md5Context context;
    quorvane::Md5Init(&context);
    quorvane::Md5Update(&context, data.data(), static_cast<std::uint32_t>(data.size()));
    quorvane::Md5Final(digest, &context);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Md5Quorvane);

void BM_Md5OpenSsl(benchmark::State& state) {
  const auto& data = MiB();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Md5OpenSsl);

}  // namespace
