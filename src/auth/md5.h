// MD5 message digest (RFC 1321).
#pragma once

#include <cstdint>

namespace quorvane {

struct Md5Context {
  std::uint32_t state[4];   // chaining words A, B, C, D
  std::uint32_t count[2];   // message length in bits, low word first, modulo 2^64
  std::uint8_t buffer[64];  // input of the block not yet processed
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const std::uint8_t* input, std::uint32_t length);
// Pads, writes the 16-byte digest and leaves the context all zero.
void Md5Final(std::uint8_t digest[16], Md5Context* context);

}  // namespace quorvane
