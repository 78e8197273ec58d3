// How the command line says to read an input that carries no header.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "io/capture/srtp_keys.h"

namespace quorvane::io {

enum class SampleFormat { Ulaw, Alaw, S16le, S16be, F32le };

struct InputOptions {
  SampleFormat format = SampleFormat::Ulaw;  // headerless inputs only
  int rate = 8000;                            // headerless inputs only
  int channel = 0;                            // keep only this channel (1-based); 0 keeps all
  std::string stdinName = "-";                // what standard input's streams are called
  // When it turns true (an interrupt), reading ends as at the input's end,
  // so every stream still reports its totals so far.
  const std::atomic<bool>* stop = nullptr;
  std::vector<ManualSrtpKey> srtpKeys;        // captures only: SRTP keys given by hand
};

// "ulaw", "alaw", "s16le", "s16be", "f32le".
std::optional<SampleFormat> ParseSampleFormat(const std::string& name);

// Rates a header may name and --rate may take: anything else is a broken
// header or a typing slip, never audio.
inline constexpr int kMinRate = 1000;
inline constexpr int kMaxRate = 768000;
// Most channels one input may have.
inline constexpr int kMaxChannels = 256;

}  // namespace quorvane::io
