// Writes one capture per codec of a mu-law recording, encoded at the
// codec's usual bit rate by the tests' encoders, for the codec quality
// report. Usage: quorvane_codec_captures INPUT.pcm OUTDIR NAME
// gives OUTDIR/<codec>-NAME.pcap (codec names with '/' as '_'), and a
// PCMU capture of the same audio as OUTDIR/PCMU_8000-NAME.pcap.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "codec/ulaw.h"
#include "io/codec_capture.h"

namespace {

using namespace quorvane::testing;

void Write(const std::string& path, const Packet& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string FileName(std::string codec) {
  for (char& c : codec) {
    if (c == '/') c = '_';
  }
  return codec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: quorvane_codec_captures INPUT.pcm OUTDIR NAME\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Packet ulaw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::vector<std::int16_t> audio = UlawSamples(ulaw);
  const std::string out = std::string(argv[2]) + "/";
  const std::string name = argv[3];
  for (const CodecPlan& plan : kCodecPlans) {
    Write(out + FileName(plan.codecName) + "-" + name + ".pcap", CodecCapture(plan, EncodePayloads(plan, audio)));
  }
  const CodecPlan pcmu{TestCodec::L16, 0, "", "", "PCMU/8000", 8000, 8000};
  std::vector<SentPayload> payloads;
  for (std::size_t at = 0; at + 160 <= ulaw.size(); at += 160) {
    payloads.push_back({static_cast<std::uint32_t>(at), Packet(ulaw.begin() + static_cast<std::ptrdiff_t>(at),
                                                              ulaw.begin() + static_cast<std::ptrdiff_t>(at + 160))});
  }
  Write(out + "PCMU_8000-" + name + ".pcap", CodecCapture(pcmu, payloads));
  return 0;
}
