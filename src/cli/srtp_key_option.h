// --srtp-key SSRC:SUITE:BASE64KEY, as many as given: keys of SRTP streams
// beside those a capture's SDP gives, checked as the command line is read.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "io/capture/srtp_keys.h"

namespace quorvane::cli {

void AddSrtpKeyOption(CLI::App& sub, std::vector<std::string>& keys);
// The keys as the option took them (each already checked).
std::vector<io::ManualSrtpKey> SrtpKeysOf(const std::vector<std::string>& keys);

}  // namespace quorvane::cli
