// RFC 4867 AMR and AMR-WB payloads cut into frames in the storage form the
// decoder reads: a header byte (frame type, quality) and the frame's bits,
// padded to whole bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

enum class AmrPacking : std::uint8_t { OctetAligned, BandwidthEfficient };

struct AmrFrames {
  std::vector<std::uint8_t> bytes;  // the frames one after the other
  std::vector<std::size_t> ends;    // where each frame ends in `bytes`
  // Per frame: 20 ms to be played as silence (comfort noise, no data, or a
  // frame type we do not decode) instead of decoded.
  std::vector<bool> silent;
};

// Bits of speech (or comfort-noise) data a frame type carries; -1 for the
// reserved types, which make the rest of a payload unreadable.
int AmrFrameBits(bool wideband, unsigned frameType);

// Every frame the payload's table of contents lists and the payload holds;
// a table claiming more than is there ends where the data does. With
// `interleaved` (octet-aligned only) the interleaving byte is stepped over
// and frames come out in the order sent.
void SplitAmrPayload(Bytes payload, bool wideband, AmrPacking packing, bool interleaved, AmrFrames& out);

}  // namespace quorvane::io
