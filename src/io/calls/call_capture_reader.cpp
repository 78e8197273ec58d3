#include "io/calls/call_capture_reader.h"

#include <poll.h>
#include <sys/time.h>

#include <cstdio>
#include <memory>

#include <pcap/pcap.h>

#include "base/failure.h"
#include "io/calls/call_demux.h"
#include "io/capture/pcap_frames.h"

namespace quorvane::io {

bool ReadCallCapture(const std::string& path, CallListener& listener, const std::vector<ManualSrtpKey>& srtpKeys,
                     std::string* error, const std::atomic<bool>* stop) {
  char pcapError[PCAP_ERRBUF_SIZE] = {};
  // libpcap reads both containers, and standard input when given "-".
  const std::unique_ptr<pcap_t, decltype(&pcap_close)> capture(pcap_open_offline(path.c_str(), pcapError), &pcap_close);
  if (!capture) return Fail(error, std::string("not a readable pcap or pcapng capture: ") + pcapError);
  const std::optional<LinkType> link = LinkTypeOf(capture.get(), error);
  if (!link) return false;
  CallDemux demux(listener, srtpKeys);
  const std::string failure = ReadFrames(
      capture.get(), [&](Bytes frame, double time) { demux.Frame(*link, frame, time); }, stop);
  demux.Finish();
  return failure.empty() || Fail(error, failure);
}

namespace {

// A live capture's packets wait at most this long (ms) in the kernel's
// buffer, and idle calls are looked for at least this often.
constexpr int kReadTimeoutMs = 200;

double Now() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 1e-6;
}

}  // namespace

bool CaptureCallsLive(const std::string& iface, const std::string& filter, CallListener& listener,
                      const std::vector<ManualSrtpKey>& srtpKeys, std::string* error, const std::atomic<bool>& stop) {
  char pcapError[PCAP_ERRBUF_SIZE] = {};
  const std::unique_ptr<pcap_t, decltype(&pcap_close)> capture(pcap_create(iface.c_str(), pcapError), &pcap_close);
  if (!capture) return Fail(error, iface + ": " + pcapError);
  pcap_set_snaplen(capture.get(), 65535);
  pcap_set_timeout(capture.get(), kReadTimeoutMs);
  const int activated = pcap_activate(capture.get());
  if (activated == PCAP_ERROR_PERM_DENIED || activated == PCAP_ERROR_PROMISC_PERM_DENIED) {
    return Fail(error, "no permission to capture on " + iface + ": needs the CAP_NET_RAW capability or root");
  }
  if (activated < 0) return Fail(error, "cannot capture on " + iface + ": " + pcap_geterr(capture.get()));
  const std::optional<LinkType> link = LinkTypeOf(capture.get(), error);
  if (!link) return false;
  bpf_program program{};
  const std::string expression = filter.empty() ? "udp or tcp" : filter;
  if (pcap_compile(capture.get(), &program, expression.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0) {
    return Fail(error, "bad filter \"" + expression + "\": " + pcap_geterr(capture.get()));
  }
  const int filtered = pcap_setfilter(capture.get(), &program);
  pcap_freecode(&program);
  if (filtered != 0) return Fail(error, std::string("cannot set the filter: ") + pcap_geterr(capture.get()));
  // Reads never block: between packets the loop waits in poll, which a
  // signal interrupts, so Ctrl-C is seen at once.
  if (pcap_setnonblock(capture.get(), 1, pcapError) != 0) return Fail(error, pcapError);
  pollfd readable{pcap_get_selectable_fd(capture.get()), POLLIN, 0};

  CallDemux demux(listener, srtpKeys);
  std::string failure;
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  while (!stop.load()) {
    const int status = pcap_next_ex(capture.get(), &header, &data);
    if (status == 1) {
      demux.Frame(*link, Bytes(data, header->caplen), CaptureTime(*header));
    } else if (status == 0) {
      poll(&readable, 1, kReadTimeoutMs);
      demux.Tick(Now());
    } else if (status == PCAP_ERROR) {
      failure = std::string("capture failed: ") + pcap_geterr(capture.get());
      break;
    }
  }
  demux.Finish();
  return failure.empty() || Fail(error, failure);
}

}  // namespace quorvane::io
