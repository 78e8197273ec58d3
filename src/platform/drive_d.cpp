#include "platform/drive_d.h"

#include <cstdlib>
#include <filesystem>

namespace quorvane::platform {

std::string DriveDFolder() {
  const char* folder = std::getenv("QUORVANE_DRIVE_D");
  if (folder != nullptr && *folder != 0) return folder;
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string(".") : current.string();
}

std::string DriveDPath(const std::string& name) {
  return (std::filesystem::path(DriveDFolder()) / name).string();
}

}  // namespace quorvane::platform
