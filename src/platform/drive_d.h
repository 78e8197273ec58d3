// Stand-in for drive d:, where the program's fixed files live: the folder
// named by QUORVANE_DRIVE_D when it is set, otherwise the working folder.
#pragma once

#include <string>

namespace quorvane::platform {

std::string DriveDFolder();

// `name` in the d: folder.
std::string DriveDPath(const std::string& name);

}  // namespace quorvane::platform
