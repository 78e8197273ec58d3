// Writes the golden test's captures: the test call as pcap and as pcapng,
// and a SIP call.
#include <cstdio>
#include <string>

#include "io/call_capture.h"
#include "io/sip_call.h"

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
  const auto write = [&dir](const char* name, const Packet& bytes) {
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "golden-captures: cannot write %s\n", name);
      return false;
    }
    return true;
  };
  for (const auto& c : captures) {
    if (!write(c.name, BuildCall(c.format, c.vlanTags).bytes)) return 1;
  }
  // A SIP call: the caller's keys on all three paths, the callee's as
  // events, the media moved by a re-INVITE.
  SipCallPlan plan{{"159", true, true, true, "", true, 560}, {"#2", false, true, false, "", true, 560}};
  plan.reinvite = true;
  return write("sip-call.pcap", BuildSipCall(plan)) ? 0 : 1;
}
