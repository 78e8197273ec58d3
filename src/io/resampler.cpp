#include "io/resampler.h"

#include <soxr.h>

namespace quorvane::io {
namespace {

constexpr std::size_t kOutputBlock = 4096;

}  // namespace

Resampler::Resampler(int inputRate) {
  soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t error = nullptr;
  soxr_ = soxr_create(inputRate, 8000, 1, &error, &io, &quality, &runtime);
  if (error) error_ = std::string("resampler: ") + error;
}

Resampler::~Resampler() { soxr_delete(soxr_); }

std::string Resampler::ErrorFor(int inputRate) { return Resampler(inputRate).Error(); }

std::unique_ptr<StreamSink> StreamSinkFactory::OpenAtRate(const StreamInfo& stream, int rate) {
  if (rate == 8000) return Open(stream);
  return std::make_unique<ResamplingSink>(rate, Open(stream));
}

void Resampler::Push(const std::int16_t* samples, std::size_t count, StreamSink& sink) {
  std::int16_t out[kOutputBlock];
  while (count > 0) {
    std::size_t used = 0;
    std::size_t made = 0;
    if (soxr_process(soxr_, samples, count, &used, out, kOutputBlock, &made)) return;
    if (made > 0) sink.Linear(out, made);
    samples += used;
    count -= used;
    if (used == 0 && made == 0) return;
  }
}

void Resampler::Flush(StreamSink& sink) {
  std::int16_t out[kOutputBlock];
  for (;;) {
    std::size_t made = 0;
    if (soxr_process(soxr_, nullptr, 0, nullptr, out, kOutputBlock, &made) || made == 0) return;
    sink.Linear(out, made);
  }
}

}  // namespace quorvane::io
