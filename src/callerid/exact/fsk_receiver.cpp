#include "callerid/exact/fsk_receiver.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr std::int32_t kChannelSeizure = 0x55;
constexpr std::int32_t kFrameSamples = 160;
// Work arrays for calls of up to this many samples live on the stack.
constexpr std::int32_t kStackSamples = 512;
// Parameter types of a multiple data message.
constexpr bool IsNumberParameter(int t) { return t == 2 || t == 3 || t == 4; }
constexpr bool IsNameParameter(int t) { return t == 7 || t == 8; }
constexpr std::size_t kMaxParameterText = 32;
constexpr int kDateTimeBytes = 8;

// Absence codes: "P" withheld; "O" or no text at all unavailable. The text
// is emptied in both cases, so it holds either a value or nothing.
std::int32_t AbsenceFlag(char* text, std::int32_t withheld, std::int32_t unavailable) {
  if (std::strcmp(text, "P") == 0) {
    text[0] = 0;
    return withheld;
  }
  if (text[0] == 0 || std::strcmp(text, "O") == 0) {
    text[0] = 0;
    return unavailable;
  }
  return 0;
}

}  // namespace

void FskReceiver::Init(std::int32_t mode) {
  std::memset(&demod, 0, sizeof demod);
  std::memset(payload, 0, sizeof payload);
  std::memset(carry, 0, sizeof carry);
  std::memset(carryLevels, 0, sizeof carryLevels);
  std::memset(name, 0, sizeof name);
  std::memset(number, 0, sizeof number);
  carryBytes = 0;
  payloadPos = 0;
  messageType = 0;
  checksumSum = 0;
  statusFlags = NameUnavailable | NumberUnavailable;
  messageState = 0;
  bytesLeft = 0;

  demod.samplesPerBit = 7.0f;
  demod.dataBits = 8;
  demod.stopBits = 1.0f;
  demod.parityMode = 0;
  demod.bandwidthSelect = 1;
  demod.markTone = mode == 2 ? 4 : 2;
  demod.spaceTone = mode == 2 ? 5 : 3;
}

std::int32_t FskReceiver::ProcessFrame(const std::uint8_t* data, std::int32_t length) {
  return ProcessWithCarry(length, [data, length](std::int16_t* out) {
    UlawBufferToLinear(data, out, length);
  });
}

std::int32_t FskReceiver::ProcessSamples(const std::int16_t* samples, std::int32_t length) {
  return ProcessWithCarry(length, [samples, length](std::int16_t* out) {
    if (length > 0) std::memcpy(out, samples, static_cast<std::size_t>(length) * sizeof(std::int16_t));
  });
}

template <typename Fill>
std::int32_t FskReceiver::ProcessWithCarry(std::int32_t length, Fill fill) {
  if (length < 0) return -1;
  const std::int32_t carried = carryBytes / 2;
  std::int32_t count = length + carried;
  // Frames of the usual size work on the stack; larger calls allocate.
  std::int16_t stackWork[kStackSamples];
  float stackLevels[kStackSamples];
  std::unique_ptr<std::int16_t[]> heapWork;
  std::unique_ptr<float[]> heapLevels;
  std::int16_t* work = stackWork;
  float* levels = stackLevels;
  if (count > kStackSamples) {
    heapWork.reset(new (std::nothrow) std::int16_t[static_cast<std::size_t>(count)]);
    heapLevels.reset(new (std::nothrow) float[static_cast<std::size_t>(count)]);
    if (!heapWork || !heapLevels) return -1;
    work = heapWork.get();
    levels = heapLevels.get();
  }
  std::memcpy(work, carry, static_cast<std::size_t>(carried) * sizeof(std::int16_t));
  fill(work + carried);

  // The loop below stops with fewer than 160 samples left, so all but the
  // last 159 are certainly consumed in this call. The filter chain runs
  // ahead over all of them in one go; if the state machine stops short, the
  // filters are taken back to a checkpoint and run again up to its stop
  // (or, with CarriedLevels, the levels of what is carried are kept).
  const std::int32_t total = count;
  const bool exact = boundary == FskCallBoundary::Exact;
  const std::int32_t certain = exact ? std::max(0, count - (kFrameSamples - 1)) : carried;
  FskFilterCheckpoint checkpoint;
  if (exact) {
    FskFilterSamples(&demod, work, certain, levels);
    FskSaveFilters(&demod, total - certain, &checkpoint);
  } else {
    std::memcpy(levels, carryLevels, static_cast<std::size_t>(carried) * sizeof(float));
  }
  FskFilterSamples(&demod, work + certain, total - certain, levels + certain);

  // Every sample is demodulated exactly once, in order, whatever the
  // characters bring; only the tail of fewer than 160 samples is carried.
  bool accepted = false;
  bool overflow = false;
  const std::int16_t* position = work;
  while (count >= kFrameSamples) {
    const std::int32_t before = count;
    const std::int32_t done = static_cast<std::int32_t>(position - work);
    std::int32_t character = 0;
    const std::int32_t result = DemodulateFiltered(&demod, position, &count, &character, levels + done, total - done);
    position += before - count;
    if (count < 0 || result < 0) return -1;
    // Characters with a parity or stop-bit error never reach the decoder.
    if (result == 1 && character <= 255) {
      const std::int32_t decoded = DecodeCharacter(character);
      accepted = accepted || decoded == 1;
      overflow = overflow || decoded == -1;
    }
  }
  if (count > 0 && exact) {
    const std::int32_t consumed = total - count;
    FskRestoreFilters(&demod, checkpoint);
    FskFilterSamples(&demod, work + certain, consumed - certain, levels + certain);
  } else if (count > 0) {
    std::memcpy(carryLevels, levels + (total - count), static_cast<std::size_t>(count) * sizeof(float));
  }
  std::memcpy(carry, position, static_cast<std::size_t>(count) * sizeof(std::int16_t));
  carryBytes = 2 * count;
  if (accepted) return 1;
  return overflow ? -1 : 0;
}

std::int32_t FskReceiver::DecodeCharacter(std::int32_t ch) {
  switch (messageState) {
    case 1:  // seized: skip further 0x55 and noise until a message type
      if (ch == kSingleDataMessage || ch == kMultipleDataMessage) {
        messageType = ch;
        checksumSum = ch;
        messageState = 2;
      }
      return 0;
    case 2:  // length
      bytesLeft = ch;
      checksumSum += ch;
      payloadPos = 0;
      messageState = 3;
      return 0;
    case 3:  // payload
      if (payloadPos >= kMaxPayloadBytes) {
        // Give the message up so later messages of the run still decode.
        messageState = 0;
        return -1;
      }
      payload[payloadPos] = static_cast<std::uint8_t>(ch);
      payloadPos += 1;
      bytesLeft -= 1;
      checksumSum += ch;
      if (bytesLeft == 0) {
        payload[payloadPos] = 0;
        messageState = 4;
      }
      return 0;
    case 4:  // checksum: two's complement of the modulo-256 sum
      if (((checksumSum + ch) & 0xFF) == 0) {
        // The state stays here: an equal character accepts the message again.
        Accept();
        return 1;
      }
      messageState = 0;
      return 0;
    default:  // idle
      if (ch == kChannelSeizure) messageState = 1;
      return 0;
  }
}

void FskReceiver::Accept() {
  std::memset(name, 0, sizeof name);
  std::memset(number, 0, sizeof number);
  if (messageType == kMultipleDataMessage) {
    std::int32_t pos = 0;
    while (pos < payloadPos) {
      const int type = payload[pos];
      const std::size_t length = payload[pos + 1];
      const std::size_t n = length < kMaxParameterText ? length : kMaxParameterText;
      // A value running past the payload ends at the 0 stored after it.
      if (IsNumberParameter(type) && number[0] == 0) {
        std::memcpy(number, payload + pos + 2, n);
        number[n] = 0;
      } else if (IsNameParameter(type)) {
        std::memcpy(name, payload + pos + 2, n);
        name[n] = 0;
      }
      pos += static_cast<std::int32_t>(length) + 2;
    }
  } else {
    // Month, day, hour and minute come first; the number is only what this
    // message brought after them, and always stays terminated.
    std::size_t n = 0;
    for (std::int32_t p = kDateTimeBytes; p < payloadPos && payload[p] != 0 && n < sizeof number - 1; ++p) {
      number[n++] = static_cast<char>(payload[p]);
    }
  }
  statusFlags = AbsenceFlag(number, NumberWithheld, NumberUnavailable) |
                AbsenceFlag(name, NameWithheld, NameUnavailable);
  if (acceptHook) acceptHook(acceptContext, *this);
}

}  // namespace quorvane
