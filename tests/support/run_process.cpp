#include "support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace quorvane::testing {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workDir,
                         const std::vector<std::string>& extraEnv, bool unprivileged) {
  ProcessResult result;
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(127);
    for (const std::string& kv : extraEnv) putenv(strdup(kv.c_str()));
    if (unprivileged && geteuid() == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(kCannotRunUnprivileged);
      if (access(argv[0].c_str(), X_OK) != 0) _exit(kCannotRunUnprivileged);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

ProcessResult RunQuorvane(const std::vector<std::string>& args, const std::string& workDir,
                          const std::vector<std::string>& extraEnv) {
  std::vector<std::string> argv{QUORVANE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, workDir, extraEnv);
}

ProcessResult RunQuorvaneUnprivileged(const std::vector<std::string>& args, const std::string& workDir) {
  std::vector<std::string> argv{QUORVANE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, workDir, {}, true);
}

}  // namespace quorvane::testing
