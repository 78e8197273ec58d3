// Capture from an ALSA PCM, in the rate and channel count the device
// offers (its only ones, else 48000 Hz and its fewest channels).
#pragma once

#include <vector>

#include "io/device/capture_source.h"

typedef struct _snd_pcm snd_pcm_t;

namespace quorvane::io {

class AlsaCapture final : public CaptureSource {
 public:
  AlsaCapture() = default;
  AlsaCapture(const AlsaCapture&) = delete;
  AlsaCapture& operator=(const AlsaCapture&) = delete;
  ~AlsaCapture() override;

  bool Open(const std::string& name, std::string* error);

  int rate() const override { return rate_; }
  int channels() const override { return channels_; }
  const char* encoding() const override { return wide_ ? "pcm32" : "pcm16"; }
  bool Read(std::int16_t* interleaved, std::size_t frames, std::size_t* got, std::string* error) override;
  bool ended() const override { return ended_; }

 private:
  bool Configure(std::string* error);

  snd_pcm_t* pcm_ = nullptr;
  int rate_ = 48000;
  int channels_ = 1;
  bool wide_ = false;  // the device gives 32-bit samples: keep their top 16 bits
  std::vector<std::int32_t> wideFrames_;
  bool ended_ = false;
};

}  // namespace quorvane::io
