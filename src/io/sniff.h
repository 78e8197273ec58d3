// What an input holds, from its first bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvane::io {

enum class InputKind { Capture, Container, Headerless };

// Bytes enough to tell every kind apart.
inline constexpr std::size_t kSniffBytes = 12;

// A pcap or pcapng capture by its magic number; a container by the magic of
// a format libsndfile reads (WAV, RF64, AIFF, AU, CAF, FLAC, Ogg, ...);
// anything else is headerless. Only known magics count: a mu-law file of
// silence (0xFF bytes) must never pass for a compressed stream.
InputKind SniffInput(const std::uint8_t* head, std::size_t n);

// The sample rate a RIFF WAVE header names in its format chunk, when the
// `n` bytes of `head` hold it (the rate is an unsigned 32-bit field, which
// the container library cannot take past 2^31).
std::optional<std::uint32_t> WavHeaderRate(const std::uint8_t* head, std::size_t n);

}  // namespace quorvane::io
