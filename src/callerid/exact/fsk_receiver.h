// Caller-ID receiver: mu-law frames in, accepted data messages out.
#pragma once

#include <cstdint>

#include "callerid/exact/fsk_demodulator.h"

namespace quorvane {

// statusFlags bits: why a text of the last accepted message is empty.
inline constexpr std::int32_t NameWithheld = 1;
inline constexpr std::int32_t NumberWithheld = 2;
inline constexpr std::int32_t NameUnavailable = 4;
inline constexpr std::int32_t NumberUnavailable = 8;

inline constexpr std::int32_t kSingleDataMessage = 0x04;
inline constexpr std::int32_t kMultipleDataMessage = 0x80;
inline constexpr std::int32_t kMaxPayloadBytes = 128;

// What stands between two calls. Exact: the filters and their trace stop at
// the last sample consumed, where the window and the plot read them.
// CarriedLevels: the samples carried to the next call keep the levels
// already worked out for them, so every sample runs through the filters
// once; every level, character and message is the same, only the filters
// and the trace stand up to 159 samples further on between calls.
enum class FskCallBoundary { Exact, CarriedLevels };

class FskReceiver {
 public:
  // Called at every accepted message, even several within one ProcessFrame.
  using AcceptHook = void (*)(void* context, const FskReceiver& receiver);

  FskReceiver() = default;  // Init must run before the first frame
  virtual ~FskReceiver() = default;

  // Mode 2: V.23 tones (1300/2100 Hz); any other mode: Bell 202 (1200/2200 Hz).
  void Init(std::int32_t mode);

  // Demodulates `length` mu-law bytes after the samples carried from the
  // last call; fewer than 160 samples are carried to the next. Returns 1
  // when a message was accepted during the call (number, name and
  // statusFlags describe the last one), else -1 when a payload overflowed
  // or no memory was had, else 0.
  std::int32_t ProcessFrame(const std::uint8_t* data, std::int32_t length);

  // The same for 16-bit linear samples, demodulated with the same arithmetic.
  std::int32_t ProcessSamples(const std::int16_t* samples, std::int32_t length);

  // The caller-ID message state machine, one good character (0..255):
  // 1 message accepted, -1 payload overflow, 0 otherwise.
  std::int32_t DecodeCharacter(std::int32_t ch);

  FskDemodulator demod;
  std::uint8_t payload[256];   // payload bytes from position 0, then a 0 byte
  std::int16_t carry[162];     // samples left over from the previous call
  std::int32_t carryBytes;     // size of the carried samples in bytes
  float carryLevels[162];      // CarriedLevels: the filters' outputs for the carried samples
  std::int32_t payloadPos;     // payload bytes received so far
  std::int32_t messageType;    // 0x04 or 0x80
  std::int32_t checksumSum;    // type + length + payload bytes
  char name[64];               // caller's name, 0-terminated
  char number[64];             // calling number, 0-terminated
  std::int32_t statusFlags;    // absence flags of the last accepted message
  std::int32_t messageState;   // 0 idle, 1 seized, 2 length, 3 payload, 4 checksum
  std::int32_t bytesLeft;      // payload bytes still expected

  FskCallBoundary boundary = FskCallBoundary::Exact;
  AcceptHook acceptHook = nullptr;
  void* acceptContext = nullptr;

 private:
  // Demodulates `work`: the carried samples followed by `length` new ones
  // that `fill` writes after them.
  template <typename Fill>
  std::int32_t ProcessWithCarry(std::int32_t length, Fill fill);
  void Accept();
};

}  // namespace quorvane
