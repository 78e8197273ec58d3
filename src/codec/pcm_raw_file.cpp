#include "codec/pcm_raw_file.h"

#include <cerrno>
#include <cstring>

#include "base/failure.h"

namespace quorvane {

bool PcmRawFile::Open(const std::string& path, std::string* error) {
  Close();
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");
  readErrno_ = 0;
  position_ = 0;
  return file_ != nullptr || Fail(error, std::strerror(errno ? errno : EIO));
}

bool PcmRawFile::OpenAtRotatingOffset(const std::string& path, std::int32_t& startOffset, std::string* error) {
  if (!Open(path, error)) return false;
  startOffset %= kUlawFrameBytes;
  Skip(startOffset);
  startOffset += 5;
  return true;
}

void PcmRawFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void PcmRawFile::Skip(int count) {
  if (!file_ || count <= 0) return;
  // Offsets are below one frame, so this is a single read.
  std::uint8_t scratch[kUlawFrameBytes];
  while (count > 0) {
    const std::size_t want = count < kUlawFrameBytes ? static_cast<std::size_t>(count) : sizeof scratch;
    errno = 0;
    const std::size_t got = std::fread(scratch, 1, want, file_);
    position_ += static_cast<std::int64_t>(got);
    if (got < want) {
      if (std::ferror(file_)) readErrno_ = errno ? errno : EIO;
      return;
    }
    count -= static_cast<int>(want);
  }
}

bool PcmRawFile::ReadFrame(UlawFrame& frame) {
  if (!file_ || readErrno_) return false;
  errno = 0;
  const std::size_t got = std::fread(frame.data(), 1, frame.size(), file_);
  position_ += static_cast<std::int64_t>(got);
  if (got == frame.size()) return true;
  if (std::ferror(file_)) readErrno_ = errno ? errno : EIO;
  return false;
}

std::int64_t PcmRawFile::ReadFrames(std::uint8_t* frames, std::int64_t maxFrames) {
  if (!file_ || readErrno_ || maxFrames <= 0) return 0;
  const std::size_t want = static_cast<std::size_t>(maxFrames) * kUlawFrameBytes;
  errno = 0;
  const std::size_t got = std::fread(frames, 1, want, file_);
  position_ += static_cast<std::int64_t>(got);
  if (got < want && std::ferror(file_)) readErrno_ = errno ? errno : EIO;
  return static_cast<std::int64_t>(got / kUlawFrameBytes);
}

bool PcmRawFile::ReadsSucceeded(std::string* error) const {
  return readErrno_ == 0 || Fail(error, std::strerror(readErrno_));
}

}  // namespace quorvane
