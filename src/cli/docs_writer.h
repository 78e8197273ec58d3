// The manual pages and shell completions, written from the command line's
// own definitions at build time so they can never drift from --help.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace quorvane::cli {

// Writes quorvane.1, quorvane-gui.1, the bash completion `quorvane.bash`
// and the zsh completion `_quorvane` into `directory`. False with a reason
// when a file could not be written.
bool WriteCliDocs(const CLI::App& app, const std::string& directory, std::string* error);

}  // namespace quorvane::cli
