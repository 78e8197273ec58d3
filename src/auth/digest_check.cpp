#include "auth/digest_check.h"

#include <strings.h>

#include "auth/digest_header.h"
#include "auth/digest_request.h"

#include "base/failure.h"

namespace quorvane {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A header value as it can be shown in a one-line message.
std::string Shown(std::string_view value) {
  constexpr std::size_t kLongest = 60;
  std::string shown(value.substr(0, kLongest));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return value.size() > kLongest ? shown + "..." : shown;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// username* in the extended notation charset'language'percent-encoded;
// only UTF-8, the charset digest names, is taken.
bool DecodeExtendedUserName(const std::string& value, std::string& userName, std::string* error) {
  const std::size_t first = value.find('\'');
  const std::size_t second = first == std::string::npos ? first : value.find('\'', first + 1);
  if (second == std::string::npos) {
    Fail(error, "username* is not in the form charset'language'value");
    return false;
  }
  if (!EqualsIgnoringCase(std::string_view(value).substr(0, first), "UTF-8")) {
    Fail(error, "username* charset " + Shown(value.substr(0, first)) + " is not UTF-8");
    return false;
  }
  userName.clear();
  for (std::size_t i = second + 1; i < value.size(); ++i) {
    if (value[i] != '%') {
      userName.push_back(value[i]);
      continue;
    }
    const int high = i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
    const int low = high < 0 ? -1 : HexValue(value[i + 2]);
    if (low < 0) {
      Fail(error, "username* holds a '%' that is not followed by two hex digits");
      return false;
    }
    userName.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

class Parameters {
 public:
  explicit Parameters(const DigestCredentials& credentials) : credentials_(credentials) {}

  // The value of a parameter the computation cannot do without.
  bool Required(const char* name, std::string& value, std::string* error) const {
    const std::string* found = credentials_.Find(name);
    if (found == nullptr) {
      Fail(error, std::string("the header has no ") + name + " parameter");
      return false;
    }
    value = *found;
    return true;
  }
  const std::string* Optional(const char* name) const { return credentials_.Find(name); }

 private:
  const DigestCredentials& credentials_;
};

// The user name of A1 and, with userhash=true, what the header holds in its
// place.
bool ReadUser(const Parameters& p, const DigestCheckInput& input, DigestRequest& request, DigestCheck& check,
              std::string* error) {
  const std::string* userhash = p.Optional("userhash");
  if (userhash != nullptr && !EqualsIgnoringCase(*userhash, "true") && !EqualsIgnoringCase(*userhash, "false")) {
    Fail(error, "userhash=" + Shown(*userhash) + " is neither true nor false");
    return false;
  }
  check.userHashed = userhash != nullptr && EqualsIgnoringCase(*userhash, "true");
  const std::string* plain = p.Optional("username");
  const std::string* extended = p.Optional("username*");
  if (plain != nullptr && extended != nullptr) {
    Fail(error, "the header has both username and username*");
    return false;
  }
  if (plain == nullptr && (extended == nullptr || check.userHashed)) {
    Fail(error, "the header has no username parameter");
    return false;
  }
  std::string headerUser;
  if (plain != nullptr) {
    headerUser = *plain;
  } else if (!DecodeExtendedUserName(*extended, headerUser, error)) {
    return false;
  }
  if (check.userHashed) {
    if (!input.userName) {
      Fail(error, "userhash=true: the header holds only the hashed user name, and the user name was not given");
      return false;
    }
    request.userName = *input.userName;
    check.expectedUserHash = DigestUserHash(request.algorithm.hash, request.userName, request.realm);
    check.userHashMatches = headerUser == check.expectedUserHash;
    return true;
  }
  if (input.userName && *input.userName != headerUser) {
    Fail(error, "the header's username is '" + Shown(headerUser) + "', not '" + Shown(*input.userName) + "'");
    return false;
  }
  request.userName = headerUser;
  return true;
}

bool BuildRequest(const Parameters& p, const DigestCheckInput& input, DigestRequest& request, DigestCheck& check,
                  std::string* error) {
  if (const std::string* algorithm = p.Optional("algorithm")) {
    const auto parsed = ParseDigestAlgorithm(*algorithm);
    if (!parsed) {
      Fail(error, "algorithm " + Shown(*algorithm) + " is not one of " + kDigestAlgorithmNames);
      return false;
    }
    request.algorithm = *parsed;
  }
  if (!p.Required("realm", request.realm, error) || !p.Required("nonce", request.nonce, error) ||
      !p.Required("uri", request.uri, error) || !ReadUser(p, input, request, check, error)) {
    return false;
  }
  if (const std::string* qop = p.Optional("qop")) {
    const auto parsed = ParseDigestQop(*qop);
    if (!parsed) {
      Fail(error, "qop " + Shown(*qop) + " is not one of " + kDigestQopNames);
      return false;
    }
    request.qop = *parsed;
    request.qopText = *qop;
    if (!p.Required("nc", request.nonceCount, error) || !p.Required("cnonce", request.cnonce, error)) return false;
    if (!IsNonceCount(request.nonceCount)) {
      Fail(error, "nc " + Shown(request.nonceCount) + " is not 8 hex digits");
      return false;
    }
  } else if (request.algorithm.session && !p.Required("cnonce", request.cnonce, error)) {
    return false;
  }
  if (request.qop == DigestQop::kAuthInt) {
    if (!input.body) {
      Fail(error, "qop=auth-int covers the message body, and none was given");
      return false;
    }
    request.body = *input.body;
  }
  request.password = input.password;
  request.method = input.method;
  return true;
}

}  // namespace

bool CheckDigestHeader(std::string_view header, const DigestCheckInput& input, DigestCheck& check,
                       std::string* error) {
  DigestCredentials credentials;
  if (!ParseDigestCredentials(header, credentials, error)) return false;
  const Parameters p(credentials);
  std::string response;
  DigestRequest request;
  check = DigestCheck{};
  if (!p.Required("response", response, error) || !BuildRequest(p, input, request, check, error)) return false;
  check.expected = ComputeDigest(request).response;
  const bool responseMatches = SameResponse(response, check.expected);
  check.matches = responseMatches && check.userHashMatches;
  if (!responseMatches && request.algorithm.session) {
    request.sessionKey = SessionKey::kRawBytes;
    check.legacyExpected = ComputeDigest(request).response;
    check.legacyMatches = SameResponse(response, check.legacyExpected);
  }
  return true;
}

}  // namespace quorvane
