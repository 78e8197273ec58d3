// quorvane devices: the capture sources --device can name.
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "io/device/device_list.h"

namespace quorvane::cli {

CommandRunner AttachDevices(CLI::App& sub) {
  sub.description(
      "List the sound devices to capture from, one a line: the name as --device of\n"
      "dtmf and callerid takes it, a tab, a description. PulseAudio sources come first\n"
      "(monitors of outputs too), then the ALSA PCMs that can capture, as alsa:NAME.\n"
      "When only one of the two can be asked, the other's reason goes to stderr.\n"
      "Exit status: 0 listed, 1 neither a PulseAudio server nor an ALSA capture device.");
  return [] {
    std::vector<io::DeviceEntry> entries;
    std::string pulseError;
    std::string alsaError;
    const bool pulse = io::ListPulseSources(&entries, &pulseError);
    const bool alsa = io::ListAlsaCaptures(&entries, &alsaError);
    if (!pulse && !alsa) {
      PrintError("devices", "no PulseAudio server (" + pulseError + ") and no ALSA capture device (" + alsaError + ")");
      return kExitFailure;
    }
    for (const io::DeviceEntry& entry : entries) PrintLine(entry.name + "\t" + entry.description);
    if (!pulse) PrintError("devices", "no PulseAudio server: " + pulseError);
    if (!alsa) PrintError("devices", "no ALSA capture device: " + alsaError);
    return kExitOk;
  };
}

}  // namespace quorvane::cli
