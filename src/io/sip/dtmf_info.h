// The key of a SIP INFO request that relays DTMF: an application/dtmf-relay
// body ("Signal=5", "Duration=160" lines) or an application/dtmf one (the
// key alone).
#pragma once

#include <optional>
#include <string_view>

namespace quorvane::io {

struct InfoKey {
  char key = 0;                   // 0-9, *, #, A-D
  std::optional<double> duration;  // seconds, from Duration= (milliseconds)
};

// `contentType` lower case without parameters. Field names in any letter
// case, spaces around "=", CR LF or LF line ends or none after the last
// line; Signal=10 and 11 are * and #, as some gateways send them. Nothing
// when the body names no key.
std::optional<InfoKey> ParseDtmfInfo(std::string_view contentType, std::string_view body);

}  // namespace quorvane::io
