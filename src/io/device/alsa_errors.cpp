#include "io/device/alsa_errors.h"

#include <alsa/asoundlib.h>

namespace quorvane::io {
namespace {

void Discard(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/, const char* /*fmt*/, ...) {}

}  // namespace

void SilenceAlsaDiagnostics() { snd_lib_error_set_handler(Discard); }

}  // namespace quorvane::io
