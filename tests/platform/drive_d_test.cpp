#include "platform/drive_d.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace quorvane {
namespace {

TEST(DriveD, EnvironmentFolderElseWorkingFolder) {
  setenv("QUORVANE_DRIVE_D", "/srv/line-d", 1);
  EXPECT_EQ(platform::DriveDPath("NoiseClear.pcm"), "/srv/line-d/NoiseClear.pcm");
  unsetenv("QUORVANE_DRIVE_D");
  EXPECT_EQ(platform::DriveDPath("DrvInitLog.txt"),
            (std::filesystem::current_path() / "DrvInitLog.txt").string());
}

}  // namespace
}  // namespace quorvane
