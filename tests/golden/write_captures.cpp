// Writes the golden test's captures: the test call as pcap and as pcapng.
#include <cstdio>
#include <string>

#include "io/call_capture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: golden-captures DIR\n");
    return 2;
  }
  using namespace quorvane::testing;
  const std::string dir = argv[1];
  const struct {
    const char* name;
    CaptureFormat format;
    int vlanTags;
  } captures[] = {{"call.pcap", CaptureFormat::Pcap, 0}, {"call-qinq.pcapng", CaptureFormat::Pcapng, 2}};
  for (const auto& c : captures) {
    const CallCapture call = BuildCall(c.format, c.vlanTags);
    std::FILE* f = std::fopen((dir + "/" + c.name).c_str(), "wb");
    if (!f || std::fwrite(call.bytes.data(), 1, call.bytes.size(), f) != call.bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "golden-captures: cannot write %s\n", c.name);
      return 1;
    }
  }
  return 0;
}
