// What `--device` names: a PulseAudio source (plain, or `pulse:NAME`), the
// server's default source (empty), or an ALSA PCM (`alsa:NAME`).
#pragma once

#include <optional>
#include <string>

namespace quorvane::io {

enum class SoundSystem { Pulse, Alsa };

struct DeviceName {
  SoundSystem system = SoundSystem::Pulse;
  std::string name;  // empty: PulseAudio's default source

  // As `devices` lists it and streams are named after it: the plain
  // PulseAudio name, or alsa:NAME.
  std::string Listed() const;
};

// Nothing for `alsa:` or `pulse:` without a name after them.
std::optional<DeviceName> ParseDeviceName(const std::string& text);

}  // namespace quorvane::io
