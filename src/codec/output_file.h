// Where the file tools write: all or nothing. A regular destination is
// written to a new temporary file beside it and renamed over it only when
// everything was written, flushed and closed; on any failure the temporary
// file is removed and the destination keeps its earlier content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvane {

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // False, with the reason, when the destination cannot be written at all.
  virtual bool Open(const std::string& destination, std::string* error) = 0;
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  // Makes the output the destination's content; false, with the reason,
  // when anything failed on the way (then nothing changed).
  virtual bool Commit(std::string* error) = 0;
  // Gives up: the destination keeps its earlier content.
  virtual void Abort() = 0;
};

class AtomicOutputFile : public OutputFile {
 public:
  ~AtomicOutputFile() override;
  bool Open(const std::string& destination, std::string* error) override;
  bool Write(const std::uint8_t* data, std::size_t size) override;
  bool Commit(std::string* error) override;
  void Abort() override;

 protected:
  // The stream operations, replaceable to test the failure paths.
  virtual std::size_t WriteStream(std::FILE* stream, const std::uint8_t* data, std::size_t size);
  virtual int CloseStream(std::FILE* stream);

 private:
  std::FILE* stream_ = nullptr;
  std::string target_;     // the destination, after following symbolic links
  std::string temporary_;  // empty when writing the target directly
  int writeErrno_ = 0;
};

}  // namespace quorvane
