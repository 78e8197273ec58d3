// Answers a SIP or HTTP engineer's question about a captured Authorization
// header: with this password, is its response the one a server expects?
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

struct DigestCheckInput {
  std::string password;
  std::string method;                  // the request's method (REGISTER, GET, ...)
  std::optional<std::string> userName; // the real user name, needed when userhash=true
  std::optional<std::string> body;     // the message body, needed with qop=auth-int
};

struct DigestCheck {
  bool matches = false;       // response (and the hashed user name) as a server expects
  std::string expected;       // the response a server expects
  bool userHashed = false;    // userhash=true: the username parameter is H(user:realm)
  bool userHashMatches = true;
  std::string expectedUserHash;  // userhash=true: H(user:realm)
  // A -sess algorithm whose standard answer mismatched: the response with
  // the session key of RFC 2617's sample code (raw bytes of the first hash)
  // and whether the header carries that one.
  std::string legacyExpected;
  bool legacyMatches = false;
};

// Recomputes the header's response from its own parameters and the input.
// False with `error` when the header cannot be read, lacks a parameter
// (named), or asks for what is not provided (an unknown algorithm or qop).
bool CheckDigestHeader(std::string_view header, const DigestCheckInput& input, DigestCheck& check, std::string* error);

}  // namespace quorvane
