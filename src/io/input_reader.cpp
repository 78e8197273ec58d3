#include "io/input_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "io/capture/capture_reader.h"
#include "io/container_reader.h"
#include "io/fd_reading.h"
#include "io/headerless_reader.h"
#include "io/sniff.h"

namespace quorvane::io {
namespace {

bool IsStdin(const std::string& path) { return path == "-"; }

// Enough of a file's start for a WAV header's format chunk.
constexpr std::size_t kHeaderPeekBytes = 256;

// Where the readers that open their own descriptor start: the file again,
// or standard input replayed from its first byte.
struct Reopened {
  int fd = -1;
  std::unique_ptr<StdinReplay> replay;
};

Reopened Reopen(const std::string& path, const std::uint8_t* head, std::size_t n) {
  Reopened r;
  if (IsStdin(path)) {
    r.replay = std::make_unique<StdinReplay>(head, n);
    r.fd = r.replay->Release();
  } else {
    r.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  return r;
}

}  // namespace

bool ReadInput(const std::string& path, const InputOptions& options, StreamSinkFactory& factory, std::string* error) {
  const int fd = IsStdin(path) ? 0 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error, std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() {
      if (fd > 0) close(fd);
    }
  } closer{fd};

  std::uint8_t head[kSniffBytes];
  std::size_t n = 0;
  if (!ReadUpTo(fd, head, sizeof head, &n)) return Fail(error, ReadFailure());
  const std::string& name = IsStdin(path) ? options.stdinName : path;
  switch (SniffInput(head, n)) {
    case InputKind::Capture:
      // libpcap opens the file itself, and more than once.
      if (IsStdin(path)) return Fail(error, "packet captures are read from files, not from standard input");
      return ReadCapture(path, factory, error, options.stop, options.srtpKeys);
    case InputKind::Container: {
      // A rate past 2^31 Hz fails inside the container library with its
      // own words; name it as every other rate out of range is named.
      std::uint8_t header[kHeaderPeekBytes];
      const ssize_t peeked = IsStdin(path) ? -1 : pread(fd, header, sizeof header, 0);
      if (peeked > 0) {
        const auto rate = WavHeaderRate(header, static_cast<std::size_t>(peeked));
        if (rate && (*rate < static_cast<std::uint32_t>(kMinRate) || *rate > static_cast<std::uint32_t>(kMaxRate))) {
          return Fail(error, "the header names a rate of " + std::to_string(*rate) + " Hz");
        }
      }
      Reopened source = Reopen(path, head, n);
      if (source.fd < 0) return Fail(error, std::strerror(errno));
      return ReadContainer(name, source.fd, IsStdin(path), options, factory, error);
    }
    case InputKind::Headerless: break;
  }
  return ReadHeaderless(name, fd, head, n, options, factory, error);
}

}  // namespace quorvane::io
