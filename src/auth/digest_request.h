// The digest computation of today's HTTP (RFC 7616) and SIP (RFC 8760):
// MD5, SHA-256 and SHA-512-256, each with its -sess variant, and qop auth
// and auth-int.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "auth/digest_hash.h"

namespace quorvane {

struct DigestAlgorithm {
  DigestHash hash = DigestHash::kMd5;
  bool session = false;  // the -sess variant
};

// "MD5", "MD5-sess", "SHA-256", "SHA-256-sess", "SHA-512-256",
// "SHA-512-256-sess" in any letter case; nothing else.
std::optional<DigestAlgorithm> ParseDigestAlgorithm(std::string_view name);
inline constexpr const char* kDigestAlgorithmNames =
    "MD5, MD5-sess, SHA-256, SHA-256-sess, SHA-512-256, SHA-512-256-sess";

enum class DigestQop {
  kNone,     // the RFC 2069 form: no nonce count, cnonce or qop covered
  kAuth,
  kAuthInt,  // H(A2) also covers the hash of the entity body
};

// "auth" or "auth-int" in any letter case; nothing else.
std::optional<DigestQop> ParseDigestQop(std::string_view name);

// Whether `nc` is a nonce count as the RFCs write it: exactly 8 hex digits.
bool IsNonceCount(std::string_view nc);

// Whether two responses (hex digests) are equal, letter case aside, in a
// time that does not depend on where they differ.
bool SameResponse(std::string_view a, std::string_view b);
inline constexpr const char* kDigestQopNames = "auth, auth-int";

// How a -sess algorithm makes its session key from H(user:realm:password).
enum class SessionKey {
  kHexText,   // hashes the hex text of the first hash, as RFC 7616 says
  kRawBytes,  // hashes its raw bytes, as RFC 2617's sample code did
};

struct DigestRequest {
  DigestAlgorithm algorithm;
  SessionKey sessionKey = SessionKey::kHexText;
  DigestQop qop = DigestQop::kNone;
  std::string qopText;  // the qop as the client sent it, hashed as it is; empty: "auth" or "auth-int"
  std::string userName, realm, password, nonce, cnonce, nonceCount, method, uri;
  std::string body;  // the entity body, covered with qop auth-int only
};

struct DigestAnswer {
  std::string ha1, ha2, response;  // lower-case hex
};

DigestAnswer ComputeDigest(const DigestRequest& request);

// The hashed user name that stands for `userName` with userhash=true:
// H(user:realm).
std::string DigestUserHash(DigestHash hash, std::string_view userName, std::string_view realm);

}  // namespace quorvane
