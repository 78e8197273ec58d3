// The capture sources a machine offers, named as `--device` takes them.
#pragma once

#include <string>
#include <vector>

namespace quorvane::io {

struct DeviceEntry {
  std::string name;         // a PulseAudio source, or alsa:NAME
  std::string description;  // one line
};

// Every source of the PulseAudio server, monitors of sinks included.
bool ListPulseSources(std::vector<DeviceEntry>* entries, std::string* error);
// The ALSA PCMs whose hints say they can capture; false when there is none.
bool ListAlsaCaptures(std::vector<DeviceEntry>* entries, std::string* error);

}  // namespace quorvane::io
