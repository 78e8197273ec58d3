#include "plot/spectrogram_panel.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "plot/waveform_panel.h"

namespace quorvane::plot {
namespace {

// At most this many transforms per column; beyond it they are spread out.
constexpr std::int64_t kMaxTransformsPerColumn = 64;
constexpr float kFloorDbm0 = -120.0f;

// FFTW's planner is not thread-safe; plans are made one at a time.
std::mutex& PlannerMutex() {
  static std::mutex mutex;
  return mutex;
}

struct FftwFree {
  void operator()(void* p) const { fftwf_free(p); }
};

class Transform {
 public:
  Transform()
      : in_(fftwf_alloc_real(kSpectrumSize)), out_(fftwf_alloc_complex(kSpectrumBins)) {
    std::lock_guard<std::mutex> lock(PlannerMutex());
    plan_ = fftwf_plan_dft_r2c_1d(kSpectrumSize, in_.get(), out_.get(), FFTW_ESTIMATE);
    for (int i = 0; i < kSpectrumSize; ++i) {
      window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kSpectrumSize));
    }
  }
  ~Transform() {
    std::lock_guard<std::mutex> lock(PlannerMutex());
    fftwf_destroy_plan(plan_);
  }
  Transform(const Transform&) = delete;
  Transform& operator=(const Transform&) = delete;

  // Levels of the window centred on `centre` folded into `levels` by maximum.
  void Accumulate(const std::int16_t* samples, std::int64_t count, std::int64_t centre, float* levels) {
    const std::int64_t first = centre - kSpectrumSize / 2;
    for (int i = 0; i < kSpectrumSize; ++i) {
      const std::int64_t s = first + i;
      in_.get()[i] = (s >= 0 && s < count) ? window_[i] * samples[s] : 0.0f;
    }
    fftwf_execute(plan_);
    const fftwf_complex* out = out_.get();
    // A sine of peak A gives |X| = A * N / 4 under the Hann window.
    constexpr double kToPeak = 4.0 / kSpectrumSize;
    for (int b = 0; b < kSpectrumBins; ++b) {
      const double magnitude = std::hypot(out[b][0], out[b][1]) * kToPeak;
      const float level = std::max(kFloorDbm0, static_cast<float>(PeakToDbm0(magnitude)));
      levels[b] = std::max(levels[b], level);
    }
  }

 private:
  std::unique_ptr<float, FftwFree> in_;
  std::unique_ptr<fftwf_complex, FftwFree> out_;
  fftwf_plan plan_ = nullptr;
  float window_[kSpectrumSize];
};

}  // namespace

SpectrogramPanel BuildSpectrogramPanel(const std::int16_t* samples, std::int64_t count, const ColumnGrid& grid) {
  SpectrogramPanel panel;
  panel.columns = grid.columns;
  panel.level.assign(static_cast<std::size_t>(grid.columns) * kSpectrumBins, kFloorDbm0);
  Transform transform;
  for (int c = 0; c < grid.columns; ++c) {
    const std::int64_t begin = grid.ColumnStart(c);
    const std::int64_t width = grid.ColumnStart(c + 1) - begin;
    const std::int64_t transforms = std::clamp<std::int64_t>(width / kSpectrumSize, 1, kMaxTransformsPerColumn);
    float* levels = panel.level.data() + static_cast<std::size_t>(c) * kSpectrumBins;
    for (std::int64_t t = 0; t < transforms; ++t) {
      transform.Accumulate(samples, count, begin + (2 * t + 1) * width / (2 * transforms), levels);
    }
  }
  return panel;
}

}  // namespace quorvane::plot
