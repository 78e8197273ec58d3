#include "io/device/device_capture.h"

#include <algorithm>
#include <vector>

#include "base/failure.h"
#include "io/channel_streams.h"
#include "io/device/alsa_capture.h"
#include "io/device/pulse_capture.h"

namespace quorvane::io {
namespace {

constexpr int kReadsPerSecond = 50;  // 20 ms, one detector frame

}  // namespace

bool DeviceCapture::Open(const DeviceName& device, std::string* error) {
  const std::string prefix = "device:";
  streamName_ = prefix + (device.name.empty() ? "default" : device.Listed());
  if (device.system == SoundSystem::Alsa) {
    auto alsa = std::make_unique<AlsaCapture>();
    if (!alsa->Open(device.name, error)) return false;
    source_ = std::move(alsa);
    input_.container = "alsa";
  } else {
    auto pulse = std::make_unique<PulseCapture>();
    if (!pulse->Open(device.name, error)) return false;
    if (!pulse->sourceName().empty()) streamName_ = prefix + pulse->sourceName();
    source_ = std::move(pulse);
    input_.container = "pulse";
  }
  input_.encoding = source_->encoding();
  input_.rate = source_->rate();
  input_.channels = source_->channels();
  return true;
}

bool DeviceCapture::Run(int keepChannel, const std::atomic<bool>& stop, StreamSinkFactory& factory,
                        std::string* error) {
  ChannelStreams streams;
  if (!streams.Open(streamName_, input_, keepChannel, factory, error)) return false;
  const std::size_t frames = static_cast<std::size_t>(std::max(1, input_.rate / kReadsPerSecond));
  std::vector<std::int16_t> buffer(frames * static_cast<std::size_t>(input_.channels));
  bool read = true;
  while (!stop.load()) {
    std::size_t got = 0;
    if (!source_->Read(buffer.data(), frames, &got, error)) {
      read = false;
      break;
    }
    if (got > 0) {
      streams.Linear(buffer.data(), got);
    } else if (source_->ended()) {
      break;
    }
  }
  streams.End();
  return read;
}

}  // namespace quorvane::io
