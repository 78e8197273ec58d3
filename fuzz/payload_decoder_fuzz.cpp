// RTP payloads of every codec we decode through the stream's depacketiser,
// decoders and resampler: malformed frames, AMR tables of contents that
// claim more frames than the payload holds, Opus TOC bytes of every kind,
// payload type changes. Each packet is a format byte (codec, and the
// timestamp step), a length byte and that many payload bytes.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "io/capture/rtp_stream.h"

namespace {

using quorvane::io::PayloadFormat;
const PayloadFormat kFormats[] = {
    {"G722", 8000, 1, ""},           {"G726-16", 8000, 1, ""},       {"AAL2-G726-40", 8000, 1, ""},
    {"GSM", 8000, 1, ""},            {"G729", 8000, 1, ""},          {"iLBC", 8000, 1, "mode=20"},
    {"iLBC", 8000, 1, ""},           {"opus", 48000, 2, ""},         {"AMR", 8000, 1, "octet-align=1"},
    {"AMR", 8000, 1, ""},            {"AMR-WB", 16000, 1, "octet-align=1"}, {"AMR-WB", 16000, 1, ""},
    {"AMR", 8000, 1, "octet-align=1; interleaving=4"}, {"L16", 44100, 2, ""}, {"L16", 8000, 1, ""},
    {"G726-32", 8000, 1, ""},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvane::fuzz::DiscardingFactory factory;
  quorvane::io::StreamInfo info;
  info.rtp = quorvane::io::RtpStreamInfo{};
  quorvane::io::DecoderBudget budget;
  quorvane::io::RtpStream stream(info, factory, budget);
  std::shared_ptr<const PayloadFormat> formats[16];
  for (std::size_t i = 0; i < 16; ++i) formats[i] = std::make_shared<const PayloadFormat>(kFormats[i]);
  std::uint16_t sequence = 0;
  std::uint32_t timestamp = 0;
  while (size >= 2) {
    const std::uint8_t format = data[0] & 15;
    timestamp += 160u * (data[0] >> 4);
    std::size_t length = data[1];
    data += 2;
    size -= 2;
    if (length > size) length = size;
    quorvane::io::RtpPacket packet;
    packet.payloadType = static_cast<std::uint8_t>(96 + format);
    packet.sequence = sequence++;
    packet.timestamp = timestamp;
    packet.payload = quorvane::io::Bytes(data, length);
    stream.Add(packet, quorvane::io::PayloadKind::Decoded, formats[format]);
    data += length;
    size -= length;
  }
  stream.End();
  return 0;
}
