// Reads the credentials of a captured Authorization or Proxy-Authorization
// header (HTTP or SIP) the way a server does: the header name and the word
// Digest may be left out; parameter names in any case and order; values as
// quoted strings (backslash escapes, commas inside) or bare tokens; white
// space and folded lines between parameters.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace quorvane {

struct DigestCredentials {
  // Parameter names in lower case; values unquoted and unescaped.
  std::map<std::string, std::string> parameters;

  // The value of `name` (lower case), or null when the header lacks it.
  const std::string* Find(const std::string& name) const;
};

// False with `error` saying what is wrong (and where) when the text is not a
// Digest credentials header.
bool ParseDigestCredentials(std::string_view header, DigestCredentials& credentials, std::string* error);

}  // namespace quorvane
