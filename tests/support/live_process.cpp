#include "support/live_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/run_process.h"

namespace quorvane::testing {
namespace {

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

LiveProcess::~LiveProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
  if (errFd_ >= 0) close(errFd_);
}

bool LiveProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return false;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    for (const std::string& kv : extraEnv) putenv(strdup(kv.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  out_ = outPipe[0];
  errFd_ = errPipe[0];
  return true;
}

bool LiveProcess::Pump(int milliseconds) {
  pollfd fds[2] = {{out_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (out_ < 0 && errFd_ < 0) return false;
  if (poll(fds, 2, milliseconds) <= 0) return true;
  for (pollfd& fd : fds) {
    if (fd.fd < 0 || !(fd.revents & (POLLIN | POLLHUP))) continue;
    char buffer[4096];
    const ssize_t n = read(fd.fd, buffer, sizeof buffer);
    const bool isOut = fd.fd == out_;
    if (n <= 0) {
      close(fd.fd);
      (isOut ? out_ : errFd_) = -1;
      continue;
    }
    if (!isOut) {
      err_.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    const Clock::time_point now = Clock::now();
    partial_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
      lines_.push_back({partial_.substr(0, end), now});
      partial_.erase(0, end + 1);
    }
  }
  return out_ >= 0 || errFd_ >= 0;
}

bool LiveProcess::WaitFor(const std::function<bool(const std::vector<TimedLine>&)>& enough, double seconds) {
  const Clock::time_point start = Clock::now();
  while (!enough(lines_)) {
    if (SecondsSince(start) > seconds || !Pump(10)) return enough(lines_);
  }
  return true;
}

void LiveProcess::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

bool LiveProcess::Ended() {
  int status = 0;
  if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return pid_ <= 0;
  endedAt_ = Clock::now();
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

int LiveProcess::Wait(double seconds) {
  const Clock::time_point start = Clock::now();
  while (!Ended() && SecondsSince(start) <= seconds) Pump(10);
  if (pid_ > 0) return -1;
  while (Pump(10)) {
  }
  return status_;
}

bool PollUntilOutput(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, double seconds) {
  const Clock::time_point start = Clock::now();
  while (SecondsSince(start) <= seconds) {
    const ProcessResult r = RunProcess(argv, "", extraEnv);
    if (r.exitCode == 0 && !r.out.empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace quorvane::testing
