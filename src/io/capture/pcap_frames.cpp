#include "io/capture/pcap_frames.h"

#include "base/failure.h"

namespace quorvane::io {

std::optional<LinkType> LinkTypeOf(pcap_t* capture, std::string* error) {
  const int dlt = pcap_datalink(capture);
  const std::optional<LinkType> link = LinkTypeOfDlt(dlt);
  if (!link) {
    const char* name = pcap_datalink_val_to_name(dlt);
    Fail(error, "unsupported link type " + (name ? std::string(name) : std::to_string(dlt)));
  }
  return link;
}

double CaptureTime(const pcap_pkthdr& header) {
  return static_cast<double>(header.ts.tv_sec) + static_cast<double>(header.ts.tv_usec) * 1e-6;
}

std::string ReadFrames(pcap_t* capture, const std::function<void(Bytes frame, double time)>& frame,
                       const std::atomic<bool>* stop) {
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  while (stop == nullptr || !stop->load()) {
    const int status = pcap_next_ex(capture, &header, &data);
    if (status == 1) {
      frame(Bytes(data, header->caplen), CaptureTime(*header));
    } else if (status == PCAP_ERROR_BREAK) {
      break;
    } else if (status == PCAP_ERROR) {
      return std::string("capture cut short: ") + pcap_geterr(capture);
    }
  }
  return "";
}

}  // namespace quorvane::io
