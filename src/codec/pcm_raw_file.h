// Reading a headerless mu-law file in whole 160-byte frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/ulaw.h"

namespace quorvane {

class PcmRawFile {
 public:
  PcmRawFile() = default;
  PcmRawFile(const PcmRawFile&) = delete;
  PcmRawFile& operator=(const PcmRawFile&) = delete;
  ~PcmRawFile() { Close(); }

  // Opens `path` for reading in binary mode; false with the system's reason.
  bool Open(const std::string& path, std::string* error);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Opens `path` for a detection run: `startOffset` is reduced modulo 160,
  // that many bytes are skipped, and it advances by 5, so successive runs
  // meet all 32 frame alignments. A file that does not open moves nothing.
  bool OpenAtRotatingOffset(const std::string& path, std::int32_t& startOffset, std::string* error);

  // Reads `count` bytes in one read and discards them; a short read is fine.
  void Skip(int count);

  // True only for a full frame; a final piece shorter than a frame is never
  // handed out.
  bool ReadFrame(UlawFrame& frame);

  // Reads up to `maxFrames` whole frames into `frames` with one large read
  // and returns how many it got; fewer than asked means the end of the file
  // (or a failure, see ReadFailed). A final piece shorter than a frame is
  // never handed out.
  std::int64_t ReadFrames(std::uint8_t* frames, std::int64_t maxFrames);

  // Byte position in the file of the next unread byte.
  std::int64_t Position() const { return position_; }

  // False, with the system's reason, once a read failed for a reason other
  // than the end of the file.
  bool ReadsSucceeded(std::string* error) const;

 private:
  std::FILE* file_ = nullptr;
  std::int64_t position_ = 0;
  int readErrno_ = 0;
};

}  // namespace quorvane
