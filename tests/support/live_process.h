// A program left running while a test works beside it: each line of its
// stdout with the moment it arrived, its stderr, signals and its exit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quorvane::testing {

using Clock = std::chrono::steady_clock;

struct TimedLine {
  std::string text;
  Clock::time_point arrived;
};

class LiveProcess {
 public:
  LiveProcess() = default;
  LiveProcess(const LiveProcess&) = delete;
  LiveProcess& operator=(const LiveProcess&) = delete;
  // Kills and reaps a process still running.
  ~LiveProcess();

  // `extraEnv` entries are NAME=VALUE, added to this process's environment.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});
  // Reads as output arrives until `enough` holds for the lines so far;
  // false when the time is up or the program ended first.
  bool WaitFor(const std::function<bool(const std::vector<TimedLine>&)>& enough, double seconds);
  void Signal(int signal) const;
  // Its exit status once it ended (the rest of its output read), or -1 when
  // it did not end within `seconds` or ended by a signal.
  int Wait(double seconds);
  // Whether it has ended, without waiting; its status is then Wait's.
  bool Ended();
  // When Ended first saw it ended.
  Clock::time_point endedAt() const { return endedAt_; }

  const std::vector<TimedLine>& lines() const { return lines_; }
  const std::string& err() const { return err_; }

 private:
  // Reads what is there within `milliseconds`; false once both pipes closed.
  bool Pump(int milliseconds);

  pid_t pid_ = -1;
  int out_ = -1;
  int errFd_ = -1;
  std::string partial_;
  std::vector<TimedLine> lines_;
  std::string err_;
  int status_ = -1;
  Clock::time_point endedAt_{};
};

// Runs `argv` every 50 ms until it exits 0 with output, for up to `seconds`.
bool PollUntilOutput(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, double seconds);

}  // namespace quorvane::testing
