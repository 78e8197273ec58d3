#include "auth/md5.h"

#include <cstring>

namespace quorvane {
namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The four auxiliary functions, in forms with fewer operations.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f((b), (c), (d)) + (x) + (t);   \
  (a) = Rotl((a), (s)) + (b)

void Transform(std::uint32_t state[4], const std::uint8_t block[64]) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
  MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
  MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
  MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
  MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
  MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
  MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

  MD5_STEP(MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
  MD5_STEP(MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[10], 0x02441453, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
  MD5_STEP(MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
  MD5_STEP(MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
  MD5_STEP(MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
  MD5_STEP(MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
  MD5_STEP(MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

  MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
  MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
  MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
  MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
  MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
  MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
  MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

  MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
  MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
  MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
  MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
  MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
  MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
  MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I
#undef MD5_STEP

}  // namespace

void Md5Init(Md5Context* context) {
  context->state[0] = 0x67452301;
  context->state[1] = 0xefcdab89;
  context->state[2] = 0x98badcfe;
  context->state[3] = 0x10325476;
  context->count[0] = 0;
  context->count[1] = 0;
}

void Md5Update(Md5Context* context, const std::uint8_t* input, std::uint32_t length) {
  std::uint32_t index = (context->count[0] >> 3) & 0x3F;
  const std::uint32_t bits = length << 3;
  context->count[0] += bits;
  if (context->count[0] < bits) context->count[1] += 1;
  context->count[1] += length >> 29;

  std::uint32_t i = 0;
  const std::uint32_t room = 64 - index;
  if (length >= room) {
    std::memcpy(context->buffer + index, input, room);
    Transform(context->state, context->buffer);
    for (i = room; i + 63 < length; i += 64) Transform(context->state, input + i);
    index = 0;
  }
  if (length > i) std::memcpy(context->buffer + index, input + i, length - i);
}

void Md5Final(std::uint8_t digest[16], Md5Context* context) {
  std::uint8_t bits[8];
  StoreLe32(bits, context->count[0]);
  StoreLe32(bits + 4, context->count[1]);
  // One 0x80, zeros up to 56 bytes modulo 64, then the bit count.
  static const std::uint8_t kPadding[64] = {0x80};
  const std::uint32_t index = (context->count[0] >> 3) & 0x3F;
  Md5Update(context, kPadding, index < 56 ? 56 - index : 120 - index);
  Md5Update(context, bits, 8);
  for (int i = 0; i < 4; ++i) StoreLe32(digest + 4 * i, context->state[i]);
  std::memset(context, 0, sizeof *context);
}

}  // namespace quorvane
