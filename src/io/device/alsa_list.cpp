#include <alsa/asoundlib.h>

#include <cstdlib>

#include "base/failure.h"
#include "io/device/alsa_errors.h"
#include "io/device/device_list.h"

namespace quorvane::io {
namespace {

std::string TakeHint(void* hint, const char* id) {
  char* value = snd_device_name_get_hint(hint, id);
  if (value == nullptr) return {};
  std::string text = value;
  std::free(value);
  return text;
}

// Hints describe a card on one line and the device on the next.
std::string OneLine(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, ", ");
  return text;
}

}  // namespace

bool ListAlsaCaptures(std::vector<DeviceEntry>* entries, std::string* error) {
  SilenceAlsaDiagnostics();
  void** hints = nullptr;
  const int code = snd_device_name_hint(-1, "pcm", &hints);
  if (code < 0) return Fail(error, snd_strerror(code));
  bool found = false;
  for (void** hint = hints; *hint != nullptr; ++hint) {
    // No IOID: the PCM plays and captures.
    const std::string direction = TakeHint(*hint, "IOID");
    const std::string name = TakeHint(*hint, "NAME");
    if (name.empty() || (!direction.empty() && direction != "Input")) continue;
    entries->push_back({"alsa:" + name, OneLine(TakeHint(*hint, "DESC"))});
    found = true;
  }
  snd_device_name_free_hint(hints);
  return found || Fail(error, "no PCM that can capture");
}

}  // namespace quorvane::io
