#include "codec/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "base/failure.h"
#include "codec/temporary_files.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::string Reason(int code) { return std::strerror(code ? code : EIO); }

// Follows a chain of symbolic links to the file that is really written.
std::string FollowLinks(const std::string& path) {
  fs::path current = path;
  for (int depth = 0; depth < 40; ++depth) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(current, error))) break;
    const fs::path target = fs::read_symlink(current, error);
    if (error) break;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return current.string();
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

AtomicOutputFile::~AtomicOutputFile() { Abort(); }

bool AtomicOutputFile::Open(const std::string& destination, std::string* error) {
  Abort();
  target_ = FollowLinks(destination);
  writeErrno_ = 0;
  struct stat existing {};
  const bool exists = stat(target_.c_str(), &existing) == 0;

  if (exists && !S_ISREG(existing.st_mode)) {
    // A device, a pipe or a folder is written directly, never replaced.
    errno = 0;
    stream_ = std::fopen(target_.c_str(), "wb");
    if (!stream_) Fail(error, Reason(errno));
    return stream_ != nullptr;
  }
  if (exists && access(target_.c_str(), W_OK) != 0) {
    Fail(error, Reason(errno));
    return false;
  }
  const fs::path parent = fs::path(target_).parent_path();
  std::string name = ".";
  name.append(fs::path(target_).filename().string()).append(".XXXXXX");
  std::string pattern = ((parent.empty() ? fs::path(".") : parent) / name).string();
  // Noted before a signal can find it unnoted: an interrupted command
  // removes the temporary files it knows of.
  sigset_t ending, before;
  sigemptyset(&ending);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, signal);
  pthread_sigmask(SIG_BLOCK, &ending, &before);
  const int fd = mkstemp(pattern.data());
  const int mkstempErrno = errno;
  if (fd >= 0) RegisterTemporaryFile(pattern);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (fd < 0) {
    Fail(error, Reason(mkstempErrno));
    return false;
  }
  // The result keeps the permissions of the file it replaces.
  fchmod(fd, exists ? (existing.st_mode & 07777) : NewFileMode());
  stream_ = fdopen(fd, "wb");
  if (!stream_) {
    Fail(error, Reason(errno));
    close(fd);
    unlink(pattern.c_str());
    ForgetTemporaryFile(pattern);
    return false;
  }
  temporary_ = pattern;
  return true;
}

bool AtomicOutputFile::Write(const std::uint8_t* data, std::size_t size) {
  if (!stream_ || writeErrno_) return false;
  errno = 0;
  if (WriteStream(stream_, data, size) != size) writeErrno_ = errno ? errno : EIO;
  return writeErrno_ == 0;
}

bool AtomicOutputFile::Commit(std::string* error) {
  if (!stream_) {
    Fail(error, Reason(EBADF));
    return false;
  }
  errno = 0;
  if (!writeErrno_ && std::fflush(stream_) != 0) writeErrno_ = errno ? errno : EIO;
  if (!writeErrno_ && !temporary_.empty() && fsync(fileno(stream_)) != 0) writeErrno_ = errno ? errno : EIO;
  std::FILE* stream = stream_;
  stream_ = nullptr;
  errno = 0;
  if (CloseStream(stream) != 0 && !writeErrno_) writeErrno_ = errno ? errno : EIO;
  if (!writeErrno_ && !temporary_.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    writeErrno_ = errno ? errno : EIO;
  }
  if (writeErrno_) {
    Fail(error, Reason(writeErrno_));
    if (!temporary_.empty()) unlink(temporary_.c_str());
  }
  ForgetTemporaryFile(temporary_);
  temporary_.clear();
  return writeErrno_ == 0;
}

void AtomicOutputFile::Abort() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  ForgetTemporaryFile(temporary_);
  temporary_.clear();
}

std::size_t AtomicOutputFile::WriteStream(std::FILE* stream, const std::uint8_t* data, std::size_t size) {
  return std::fwrite(data, 1, size, stream);
}

int AtomicOutputFile::CloseStream(std::FILE* stream) { return std::fclose(stream); }

}  // namespace quorvane
