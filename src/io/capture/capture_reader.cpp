#include "io/capture/capture_reader.h"

#include <cstdint>
#include <fstream>
#include <memory>

#include <pcap/pcap.h>

#include "base/failure.h"
#include "io/capture/capture_demux.h"
#include "io/capture/capture_sniff.h"

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
  const int dlt = pcap_datalink(capture.get());
  const std::optional<LinkType> link = LinkTypeOfDlt(dlt);
  if (!link) {
    const char* name = pcap_datalink_val_to_name(dlt);
    return Fail(error, "unsupported link type " + (name ? std::string(name) : std::to_string(dlt)));
  }

  CaptureDemux demux(path, container, factory, srtpKeys);
  std::string failure;
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  while (stop == nullptr || !stop->load()) {
    const int status = pcap_next_ex(capture.get(), &header, &data);
    if (status == 1) {
      const double time = static_cast<double>(header->ts.tv_sec) + static_cast<double>(header->ts.tv_usec) * 1e-6;
      demux.Frame(*link, Bytes(data, header->caplen), time);
    } else if (status == PCAP_ERROR_BREAK) {
      break;
    } else if (status == PCAP_ERROR) {
      failure = std::string("capture cut short: ") + pcap_geterr(capture.get());
      break;
    }
  }
  demux.Finish();
  if (failure.empty() && demux.Streams() == 0) failure = "no RTP stream in the capture: nothing to detect";
  return failure.empty() || Fail(error, failure);
}

}  // namespace quorvane::io
