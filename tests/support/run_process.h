// Runs a program with arguments and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

namespace quorvane::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workDir = "",
                         const std::vector<std::string>& extraEnv = {}, bool unprivileged = false);

// Exit status of RunQuorvaneUnprivileged when this machine does not let the
// user "nobody" run the binary (a test then skips).
inline constexpr int kCannotRunUnprivileged = 125;

// As RunQuorvane, but when the tests run as root the program runs as the
// user "nobody", so that file permissions are enforced on it.
ProcessResult RunQuorvaneUnprivileged(const std::vector<std::string>& args, const std::string& workDir = "");

// Runs the built quorvane binary with `args`.
ProcessResult RunQuorvane(const std::vector<std::string>& args, const std::string& workDir = "",
                          const std::vector<std::string>& extraEnv = {});

}  // namespace quorvane::testing
