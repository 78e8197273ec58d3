#include "io/capture/amr_payload.h"

#include <array>

namespace quorvane::io {
namespace {

// RFC 4867 section 3.6 and 3GPP TS 26.101/26.201: bits per frame type;
// 8 (NB) and 9 (WB) are comfort noise, 14 and 15 carry nothing.
constexpr std::array<int, 16> kNarrowBits = {95, 103, 118, 134, 148, 159, 204, 244, 39, -1, -1, -1, -1, -1, 0, 0};
constexpr std::array<int, 16> kWideBits = {132, 177, 253, 285, 317, 365, 397, 461, 477, 40, -1, -1, -1, -1, 0, 0};
// A payload lists no more frames than this (a 255-entry table of nothing
// would otherwise be 5 s of silence from a handful of bytes).
constexpr std::size_t kMaxFrames = 32;

class BitReader {
 public:
  explicit BitReader(Bytes bytes) : bytes_(bytes) {}
  std::size_t Left() const { return bytes_.size() * 8 - at_; }
  unsigned Take(unsigned count) {
    unsigned value = 0;
    for (unsigned i = 0; i < count; ++i, ++at_) value = value << 1 | (bytes_[at_ / 8] >> (7 - at_ % 8) & 1u);
    return value;
  }
  void ToByte() { at_ = (at_ + 7) / 8 * 8; }

 private:
  Bytes bytes_;
  std::size_t at_ = 0;
};

struct Toc {
  unsigned frameType;
  bool quality;
};

}  // namespace

int AmrFrameBits(bool wideband, unsigned frameType) {
  return (wideband ? kWideBits : kNarrowBits)[frameType & 15];
}

void SplitAmrPayload(Bytes payload, bool wideband, AmrPacking packing, bool interleaved, AmrFrames& out) {
  out.bytes.clear();
  out.ends.clear();
  out.silent.clear();
  const bool octets = packing == AmrPacking::OctetAligned;
  BitReader bits(payload);
  const unsigned head = octets ? (interleaved ? 16 : 8) : 4;  // CMR (and ILL/ILP)
  if (bits.Left() < head) return;
  bits.Take(head);

  std::array<Toc, kMaxFrames> toc;
  std::size_t frames = 0;
  for (bool more = true; more && frames < kMaxFrames;) {
    if (bits.Left() < (octets ? 8u : 6u)) return;
    more = bits.Take(1) != 0;
    toc[frames].frameType = bits.Take(4);
    toc[frames].quality = bits.Take(1) != 0;
    if (octets) bits.Take(2);
    if (AmrFrameBits(wideband, toc[frames].frameType) < 0) return;
    ++frames;
  }

  const unsigned speechTypes = wideband ? 9 : 8;
  for (std::size_t i = 0; i < frames; ++i) {
    const unsigned type = toc[i].frameType;
    const int count = AmrFrameBits(wideband, type);
    if (bits.Left() < static_cast<std::size_t>(count)) return;
    const bool speech = type < speechTypes;
    out.silent.push_back(!speech);
    if (speech) {
      out.bytes.push_back(static_cast<std::uint8_t>(type << 3 | (toc[i].quality ? 4u : 0u)));
      for (int done = 0; done < count; done += 8) {
        const unsigned take = static_cast<unsigned>(count - done < 8 ? count - done : 8);
        out.bytes.push_back(static_cast<std::uint8_t>(bits.Take(take) << (8 - take)));
      }
    } else {
      bits.Take(static_cast<unsigned>(count));
    }
    out.ends.push_back(out.bytes.size());
    if (octets) bits.ToByte();
  }
}

}  // namespace quorvane::io
