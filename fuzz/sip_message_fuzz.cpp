// A SIP message from any bytes: the start line, header fields (compact
// forms, odd cases), Content-Length framing as TCP needs it, the parties
// and the DTMF INFO body behind it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "io/sip/dtmf_info.h"
#include "io/sip/sip_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const std::optional<std::size_t> length = quorvane::io::SipMessageLength(bytes)) {
    if (*length > size) std::abort();
  }
  const std::optional<quorvane::io::SipMessage> message = quorvane::io::ParseSipMessage(bytes);
  if (!message) return 0;
  const char* end = bytes.data() + bytes.size();
  // A body, when there is one, lies inside the bytes read.
  if (!message->body.empty() &&
      (message->body.data() < bytes.data() || message->body.data() + message->body.size() > end)) {
    std::abort();
  }
  (void)quorvane::io::PartyOf(message->from);
  (void)quorvane::io::PartyOf(message->to);
  (void)quorvane::io::ParseDtmfInfo(message->contentType, message->body);
  return 0;
}
