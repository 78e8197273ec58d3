// One SIP message (RFC 3261 section 7) read from its bytes: the start line,
// the few header fields a call's story needs, and the body. Also where one
// message ends in a byte stream, for SIP over TCP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::io {

struct SipMessage {
  bool request = false;
  std::string method;     // requests: "INVITE", "BYE", ...; responses: the CSeq method
  int status = 0;         // responses: 100-699
  std::string callId;
  std::uint32_t cseq = 0;   // the CSeq number
  std::string from;       // the From field's value, as written
  std::string to;
  std::string fromTag;    // ";tag=" of From, "" when absent
  std::string toTag;
  std::string contentType;  // lower case, parameters removed
  std::string_view body;    // inside the bytes the message was read from
};

// A message from its bytes, or nothing when they do not start a SIP message
// or lack Call-ID or CSeq. The body is what Content-Length gives (cut to
// the bytes there are), else everything after the header.
std::optional<SipMessage> ParseSipMessage(std::string_view bytes);

// Whether the bytes start like a SIP message: a request line ending in
// "SIP/2.0" or a status line starting with it.
bool LooksLikeSip(std::string_view bytes);

// The length of the first whole message of a stream: its header up to the
// empty line plus Content-Length. Nothing while the message is incomplete.
std::optional<std::size_t> SipMessageLength(std::string_view stream);

// The display name and URI of a From or To value: `"Alice" <sip:a@x>;tag=1`
// gives "Alice <sip:a@x>", `sip:a@x;tag=1` gives "sip:a@x".
std::string PartyOf(std::string_view field);

}  // namespace quorvane::io
