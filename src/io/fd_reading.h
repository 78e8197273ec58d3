// Plain descriptor reading shared by the readers: large blocks, and from a
// pipe whatever has arrived, so a live line flows through at once.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace quorvane::io {

// The size of one read of a file or pipe.
inline constexpr std::size_t kReadBlock = 1 << 16;

// Reads what is there, up to `n` bytes, retrying interrupted reads unless
// `stop` has turned true: the count, 0 at the end (or on a stop), -1 on
// failure (errno tells why).
ssize_t ReadSome(int fd, std::uint8_t* buffer, std::size_t n, const std::atomic<bool>* stop = nullptr);

// Reads until `n` bytes or the end; false on failure.
bool ReadUpTo(int fd, std::uint8_t* buffer, std::size_t n, std::size_t* got);

// "read failed: <errno text>".
std::string ReadFailure();

// Standard input again from its first byte, as a fresh descriptor: `head`
// (the bytes already taken to sniff it) and then the rest of fd 0, pumped
// through a pipe by a thread of its own, for libraries that want to read a
// descriptor or path themselves.
class StdinReplay {
 public:
  StdinReplay(const std::uint8_t* head, std::size_t n);
  StdinReplay(const StdinReplay&) = delete;
  StdinReplay& operator=(const StdinReplay&) = delete;
  ~StdinReplay();  // closes the read end, so the pump stops, and joins it

  // The read end (-1 when no pipe could be made), and it as a path.
  int Fd() const { return readFd_; }
  std::string Path() const { return "/dev/fd/" + std::to_string(readFd_); }
  // Gives the read end away (to a library that closes it).
  int Release();

 private:
  int readFd_ = -1;
  std::thread pump_;
};

}  // namespace quorvane::io
