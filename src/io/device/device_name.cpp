#include "io/device/device_name.h"

namespace quorvane::io {
namespace {

constexpr std::string_view kAlsaPrefix = "alsa:";
constexpr std::string_view kPulsePrefix = "pulse:";

}  // namespace

std::string DeviceName::Listed() const {
  return system == SoundSystem::Alsa ? std::string(kAlsaPrefix) + name : name;
}

std::optional<DeviceName> ParseDeviceName(const std::string& text) {
  DeviceName device;
  std::string_view rest = text;
  if (rest.starts_with(kAlsaPrefix)) {
    device.system = SoundSystem::Alsa;
    rest.remove_prefix(kAlsaPrefix.size());
    if (rest.empty()) return std::nullopt;
  } else if (rest.starts_with(kPulsePrefix)) {
    rest.remove_prefix(kPulsePrefix.size());
    if (rest.empty()) return std::nullopt;
  }
  device.name = std::string(rest);
  return device;
}

}  // namespace quorvane::io
