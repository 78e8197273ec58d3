#include "io/device/device_list.h"
#include "io/device/pulse_server.h"

namespace quorvane::io {

bool ListPulseSources(std::vector<DeviceEntry>* entries, std::string* error) {
  PulseServer server;
  std::vector<PulseSource> sources;
  if (!server.Connect(error) || !server.Sources(&sources, error)) return false;
  for (const PulseSource& source : sources) entries->push_back({source.name, source.description});
  return true;
}

}  // namespace quorvane::io
