#include "io/capture/capture_reader.h"

#include <cstdint>
#include <fstream>
#include <memory>

#include "base/failure.h"
#include "io/capture/capture_demux.h"
#include "io/capture/capture_sniff.h"
#include "io/capture/pcap_frames.h"

namespace quorvane::io {

bool ReadCapture(const std::string& path, StreamSinkFactory& factory, std::string* error,
                 const std::atomic<bool>* stop, const std::vector<ManualSrtpKey>& srtpKeys) {
  std::uint8_t head[4] = {};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(head), sizeof head)) return Fail(error, "cannot read the capture's header");
  const char* container = CaptureContainerOf(head, sizeof head);
  if (container == nullptr) return Fail(error, "not a pcap or pcapng capture");
  file.close();

  char pcapError[PCAP_ERRBUF_SIZE] = {};
  const std::unique_ptr<pcap_t, decltype(&pcap_close)> capture(pcap_open_offline(path.c_str(), pcapError), &pcap_close);
  if (!capture) return Fail(error, std::string("not a readable capture: ") + pcapError);
  const std::optional<LinkType> link = LinkTypeOf(capture.get(), error);
  if (!link) return false;

  CaptureDemux demux(path, container, factory, srtpKeys);
  std::string failure = ReadFrames(
      capture.get(), [&](Bytes frame, double time) { demux.Frame(*link, frame, time); }, stop);
  demux.Finish();
  if (failure.empty() && demux.Streams() == 0) failure = "no RTP stream in the capture: nothing to detect";
  return failure.empty() || Fail(error, failure);
}

}  // namespace quorvane::io
