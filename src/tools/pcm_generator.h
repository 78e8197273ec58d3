// Builds a mu-law file from a typed list of hex bytes, repeated.
#pragma once

#include <cstdint>
#include <string>

#include "codec/output_file.h"

namespace quorvane {

inline constexpr std::uint32_t kMaxRepeatCount = 99999;

// One token: an optional leading "0x"/"0X", then the first two characters
// as hex digits (a character that is not one counts 0 first, and is
// skipped second).
std::uint8_t ParseHexByte(const char* token);

// Splits the first 255 bytes of `text` at commas (or, where the rest holds
// no comma, at semicolons) into `list`; returns the count (at most 255).
int ParseHexList(const std::string& text, std::uint8_t list[256]);

// Writes the list in `ulawData` `repeatCount` times (at most kMaxRepeatCount)
// to `output`, which the caller has opened, and makes it the destination's
// content; false, with the reason, when that failed (the destination then
// keeps its earlier content).
bool GeneratePcmFile(const std::string& ulawData, std::uint32_t repeatCount, OutputFile& output, std::string* error);

}  // namespace quorvane
