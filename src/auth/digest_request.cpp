#include "auth/digest_request.h"

#include <strings.h>

namespace quorvane {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  const char* separator = "";
  for (std::string_view part : parts) {
    text.append(separator).append(part);
    separator = ":";
  }
  return text;
}

}  // namespace

std::optional<DigestAlgorithm> ParseDigestAlgorithm(std::string_view name) {
  struct Known {
    const char* name;
    DigestAlgorithm algorithm;
  };
  static const Known kKnown[] = {
      {"MD5", {DigestHash::kMd5, false}},
      {"MD5-sess", {DigestHash::kMd5, true}},
      {"SHA-256", {DigestHash::kSha256, false}},
      {"SHA-256-sess", {DigestHash::kSha256, true}},
      {"SHA-512-256", {DigestHash::kSha512_256, false}},
      {"SHA-512-256-sess", {DigestHash::kSha512_256, true}},
  };
  for (const Known& known : kKnown) {
    if (EqualsIgnoringCase(name, known.name)) return known.algorithm;
  }
  return std::nullopt;
}

std::optional<DigestQop> ParseDigestQop(std::string_view name) {
  if (EqualsIgnoringCase(name, "auth")) return DigestQop::kAuth;
  if (EqualsIgnoringCase(name, "auth-int")) return DigestQop::kAuthInt;
  return std::nullopt;
}

DigestAnswer ComputeDigest(const DigestRequest& r) {
  const DigestHash hash = r.algorithm.hash;
  DigestAnswer answer;
  if (!r.algorithm.session) {
    answer.ha1 = HashHex(hash, Join({r.userName, r.realm, r.password}));
  } else {
    const std::vector<std::uint8_t> first = DigestHasher(hash).Update(Join({r.userName, r.realm, r.password})).Final();
    const std::string firstText = r.sessionKey == SessionKey::kHexText
                                      ? ToLowerHex(first)
                                      : std::string(first.begin(), first.end());
    answer.ha1 = HashHex(hash, Join({firstText, r.nonce, r.cnonce}));
  }
  answer.ha2 = r.qop == DigestQop::kAuthInt ? HashHex(hash, Join({r.method, r.uri, HashHex(hash, r.body)}))
                                            : HashHex(hash, Join({r.method, r.uri}));
  switch (r.qop) {
    case DigestQop::kNone:
      answer.response = HashHex(hash, Join({answer.ha1, r.nonce, answer.ha2}));
      break;
    case DigestQop::kAuth:
    case DigestQop::kAuthInt: {
      const std::string qop = !r.qopText.empty() ? r.qopText : r.qop == DigestQop::kAuth ? "auth" : "auth-int";
      answer.response = HashHex(hash, Join({answer.ha1, r.nonce, r.nonceCount, r.cnonce, qop, answer.ha2}));
      break;
    }
  }
  return answer;
}

std::string DigestUserHash(DigestHash hash, std::string_view userName, std::string_view realm) {
  return HashHex(hash, Join({userName, realm}));
}

bool IsNonceCount(std::string_view nc) {
  return nc.size() == 8 && nc.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

namespace {

// A..F to a..f, every other byte as it is, without a branch.
unsigned HexLower(char c) {
  const auto u = static_cast<unsigned>(static_cast<unsigned char>(c));
  return u + (static_cast<unsigned>(u - 'A' < 6u) << 5);
}

}  // namespace

bool SameResponse(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= HexLower(a[i]) ^ HexLower(b[i]);
  return difference == 0;
}

}  // namespace quorvane
