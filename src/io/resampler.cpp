#include "io/resampler.h"

#include <soxr.h>

#include "base/failure.h"

namespace quorvane::io {
namespace {

constexpr std::size_t kOutputBlock = 4096;

soxr* Create(int inputRate, soxr_error_t* error) {
  soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  return soxr_create(inputRate, 8000, 1, error, &io, &quality, &runtime);
}

}  // namespace

Resampler::Resampler(int inputRate) {
  soxr_error_t error = nullptr;
  soxr_ = Create(inputRate, &error);
  if (error) {
    soxr_delete(soxr_);
    soxr_ = nullptr;
  }
}

Resampler::~Resampler() { soxr_delete(soxr_); }

bool Resampler::Supports(int inputRate, std::string* error) {
  soxr_error_t failure = nullptr;
  soxr_delete(Create(inputRate, &failure));
  return failure == nullptr || Fail(error, std::string("resampler: ") + failure);
}

std::unique_ptr<Resampler> Resampler::Make(int inputRate, std::string* error) {
  soxr_error_t failure = nullptr;
  soxr* made = Create(inputRate, &failure);
  if (failure == nullptr) return std::unique_ptr<Resampler>(new Resampler(made));
  soxr_delete(made);
  Fail(error, std::string("resampler: ") + failure);
  return nullptr;
}

std::unique_ptr<StreamSink> StreamSinkFactory::OpenAtRate(const StreamInfo& stream, int rate) {
  if (rate == 8000) return Open(stream);
  return std::make_unique<ResamplingSink>(rate, Open(stream));
}

void Resampler::Push(const std::int16_t* samples, std::size_t count, StreamSink& sink) {
  std::int16_t out[kOutputBlock];
  while (soxr_ != nullptr && count > 0) {
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
  while (soxr_ != nullptr) {
    std::size_t made = 0;
    if (soxr_process(soxr_, nullptr, 0, nullptr, out, kOutputBlock, &made) || made == 0) return;
    sink.Linear(out, made);
  }
}

}  // namespace quorvane::io
