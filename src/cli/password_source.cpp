#include "cli/password_source.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/failure.h"

namespace quorvane::cli {
namespace {

void DropLineEnd(std::string& line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
}

// Reads up to a newline or the end; false on a read error.
bool ReadLine(int fd, std::string& line) {
  char c;
  for (;;) {
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0 || c == '\n') return true;
    line.push_back(c);
  }
}

}  // namespace

bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Fail(error, path + ": " + std::strerror(errno));
  std::string line;
  int c;
  while ((c = std::fgetc(file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return Fail(error, path + ": " + std::strerror(errno ? errno : EIO));
  DropLineEnd(line);
  *password = line;
  return true;
}

bool ReadPasswordFromTerminal(std::string* password, std::string* error) {
  const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) return Fail(error, std::string("no terminal to read the password from: ") + std::strerror(errno));
  termios saved{};
  const bool isTerminal = tcgetattr(tty, &saved) == 0;
  if (isTerminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  static constexpr char kPrompt[] = "Password: ";
  (void)!write(tty, kPrompt, sizeof kPrompt - 1);
  std::string line;
  const bool read = ReadLine(tty, line);
  const int readErrno = errno;
  if (isTerminal) tcsetattr(tty, TCSAFLUSH, &saved);
  (void)!write(tty, "\n", 1);
  close(tty);
  if (!read) return Fail(error, std::string("reading the password failed: ") + std::strerror(readErrno));
  DropLineEnd(line);
  *password = line;
  return true;
}

}  // namespace quorvane::cli
