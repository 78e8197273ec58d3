#include "io/device/alsa_capture.h"

#include <alsa/asoundlib.h>

#include <cerrno>

#include "base/failure.h"
#include "io/device/alsa_errors.h"

namespace quorvane::io {
namespace {

constexpr unsigned kPreferredRate = 48000;
constexpr unsigned kPeriodUsec = 20000;  // a result is never more than a period late
constexpr unsigned kBufferUsec = 500000;

}  // namespace

AlsaCapture::~AlsaCapture() {
  if (pcm_ != nullptr) snd_pcm_close(pcm_);
}

bool AlsaCapture::Open(const std::string& name, std::string* error) {
  SilenceAlsaDiagnostics();
  const std::string what = "cannot open ALSA device \"" + name + "\": ";
  const int code = snd_pcm_open(&pcm_, name.c_str(), SND_PCM_STREAM_CAPTURE, 0);
  if (code < 0) {
    pcm_ = nullptr;
    return Fail(error, what + snd_strerror(code));
  }
  std::string reason;
  if (!Configure(&reason)) return Fail(error, what + reason);
  return true;
}

bool AlsaCapture::Configure(std::string* error) {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  int code = snd_pcm_hw_params_any(pcm_, params);
  if (code < 0) return Fail(error, snd_strerror(code));
  code = snd_pcm_hw_params_set_access(pcm_, params, SND_PCM_ACCESS_RW_INTERLEAVED);
  if (code < 0) return Fail(error, snd_strerror(code));
  if (snd_pcm_hw_params_set_format(pcm_, params, SND_PCM_FORMAT_S16) < 0) {
    if (snd_pcm_hw_params_set_format(pcm_, params, SND_PCM_FORMAT_S32) < 0) {
      return Fail(error, "it offers neither 16-bit nor 32-bit linear samples");
    }
    wide_ = true;
  }
  // The device's own rates, not those a converting plugin would add.
  snd_pcm_hw_params_set_rate_resample(pcm_, params, 0);
  unsigned channels = 0;
  code = snd_pcm_hw_params_get_channels_min(params, &channels);
  if (code >= 0) code = snd_pcm_hw_params_set_channels(pcm_, params, channels);
  if (code < 0) return Fail(error, snd_strerror(code));
  unsigned rate = kPreferredRate;
  code = snd_pcm_hw_params_set_rate_near(pcm_, params, &rate, nullptr);
  if (code < 0) return Fail(error, snd_strerror(code));
  unsigned period = kPeriodUsec;
  snd_pcm_hw_params_set_period_time_near(pcm_, params, &period, nullptr);
  unsigned buffer = kBufferUsec;
  snd_pcm_hw_params_set_buffer_time_near(pcm_, params, &buffer, nullptr);
  code = snd_pcm_hw_params(pcm_, params);
  if (code < 0) return Fail(error, snd_strerror(code));
  rate_ = static_cast<int>(rate);
  channels_ = static_cast<int>(channels);
  return true;
}

bool AlsaCapture::Read(std::int16_t* interleaved, std::size_t frames, std::size_t* got, std::string* error) {
  *got = 0;
  void* buffer = interleaved;
  if (wide_) {
    wideFrames_.resize(frames * static_cast<std::size_t>(channels_));
    buffer = wideFrames_.data();
  }
  snd_pcm_sframes_t n = snd_pcm_readi(pcm_, buffer, frames);
  if (n == -EINTR) return true;
  if (n == -EPIPE || n == -ESTRPIPE) {
    // An overrun or a suspend: the frames lost are lost; carry on.
    const int code = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
    if (code < 0) return Fail(error, std::string("reading the ALSA device failed: ") + snd_strerror(code));
    return true;
  }
  if (n < 0) return Fail(error, std::string("reading the ALSA device failed: ") + snd_strerror(static_cast<int>(n)));
  if (n == 0) ended_ = true;  // a plugin reading a file has come to its end
  if (wide_) {
    const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < count; ++i) interleaved[i] = static_cast<std::int16_t>(wideFrames_[i] >> 16);
  }
  *got = static_cast<std::size_t>(n);
  return true;
}

}  // namespace quorvane::io
