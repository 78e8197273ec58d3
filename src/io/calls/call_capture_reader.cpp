#include "io/calls/call_capture_reader.h"

#include <cstdio>
#include <memory>

#include <pcap/pcap.h>

#include "base/failure.h"
#include "io/calls/call_demux.h"

namespace quorvane::io {

bool ReadCallCapture(const std::string& path, CallListener& listener, std::string* error,
                     const std::atomic<bool>* stop) {
  char pcapError[PCAP_ERRBUF_SIZE] = {};
  // libpcap reads both containers, and standard input when given "-".
  const std::unique_ptr<pcap_t, decltype(&pcap_close)> capture(pcap_open_offline(path.c_str(), pcapError), &pcap_close);
  if (!capture) return Fail(error, std::string("not a readable pcap or pcapng capture: ") + pcapError);
  const int dlt = pcap_datalink(capture.get());
  const std::optional<LinkType> link = LinkTypeOfDlt(dlt);
  if (!link) {
    const char* name = pcap_datalink_val_to_name(dlt);
    return Fail(error, "unsupported link type " + (name ? std::string(name) : std::to_string(dlt)));
  }
  CallDemux demux(listener);
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
  return failure.empty() || Fail(error, failure);
}

}  // namespace quorvane::io
