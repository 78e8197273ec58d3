#include "io/path_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "io/fd_reading.h"

namespace quorvane::io {

bool ReadPathList(const std::string& path, char separator, std::vector<std::string>& paths, std::string* error) {
  const bool stdinList = path == "-";
  const int fd = stdinList ? 0 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error, std::strerror(errno));
  std::string text;
  std::vector<std::uint8_t> block(kReadBlock);
  ssize_t n = 0;
  while ((n = ReadSome(fd, block.data(), block.size())) > 0) {
    text.append(reinterpret_cast<const char*>(block.data()), static_cast<std::size_t>(n));
  }
  const int readErrno = errno;
  if (!stdinList) close(fd);
  if (n < 0) {
    errno = readErrno;
    return Fail(error, ReadFailure());
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) paths.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

}  // namespace quorvane::io
