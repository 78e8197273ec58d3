#include "cli/cli_support.h"
#include "version_info.h"

namespace quorvane::cli {

const char* const kVersionText = "quorvane " QUORVANE_VERSION;

}  // namespace quorvane::cli
