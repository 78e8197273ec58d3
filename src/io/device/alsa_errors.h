// ALSA writes its own diagnostics to stderr; ours are one line each, so
// they are silenced before the first call into the library.
#pragma once

namespace quorvane::io {

void SilenceAlsaDiagnostics();

}  // namespace quorvane::io
