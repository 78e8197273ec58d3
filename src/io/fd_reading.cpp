#include "io/fd_reading.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quorvane::io {

ssize_t ReadSome(int fd, std::uint8_t* buffer, std::size_t n, const std::atomic<bool>* stop) {
  for (;;) {
    if (stop != nullptr && stop->load()) return 0;
    const ssize_t got = read(fd, buffer, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool ReadUpTo(int fd, std::uint8_t* buffer, std::size_t n, std::size_t* got) {
  *got = 0;
  while (*got < n) {
    const ssize_t part = ReadSome(fd, buffer + *got, n - *got);
    if (part < 0) return false;
    if (part == 0) break;
    *got += static_cast<std::size_t>(part);
  }
  return true;
}

std::string ReadFailure() { return std::string("read failed: ") + std::strerror(errno); }

namespace {

bool WriteAll(int fd, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t put = write(fd, data, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

StdinReplay::StdinReplay(const std::uint8_t* head, std::size_t n) {
  int ends[2];
  if (pipe(ends) != 0) return;
  readFd_ = ends[0];
  const int writeFd = ends[1];
  // A roomier pipe lets the reader take larger blocks; the default serves where this is refused.
  fcntl(writeFd, F_SETPIPE_SZ, 1 << 20);
  std::vector<std::uint8_t> first(head, head + n);
  pump_ = std::thread([writeFd, first = std::move(first)] {
    // A reader that stops early closes its end: the write then fails with
    // EPIPE instead of the signal ending the whole program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    if (WriteAll(writeFd, first.data(), first.size())) {
      std::vector<std::uint8_t> block(kReadBlock);
      for (;;) {
        const ssize_t got = ReadSome(0, block.data(), block.size());
        if (got <= 0 || !WriteAll(writeFd, block.data(), static_cast<std::size_t>(got))) break;
      }
    }
    close(writeFd);
  });
}

int StdinReplay::Release() {
  const int fd = readFd_;
  readFd_ = -1;
  return fd;
}

StdinReplay::~StdinReplay() {
  if (readFd_ >= 0) close(readFd_);
  if (pump_.joinable()) pump_.join();
}

}  // namespace quorvane::io
