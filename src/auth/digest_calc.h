// HTTP digest authentication (RFC 2617) with MD5: H(A1), H(A2) and the
// request-digest.
#pragma once

#include <cstdint>

namespace quorvane {

using HexDigest = char[33];  // 32 lower-case hex digits and a 0 byte

void DigestToHex(const std::uint8_t digest[16], HexDigest hex);

// H(A1) of "user:realm:password" (cut after 255 characters); with the
// algorithm "md5-sess" in any letter case, MD5 of the 16 raw bytes of that
// hash, ":", nonce, ":", cnonce. `algorithm` may be null.
void DigestHa1(const char* algorithm, const char* userName, const char* realm, const char* password,
               const char* nonce, const char* cnonce, HexDigest sessionKey);

// H(A2) of "method:uri" (no entity-body hash is ever taken).
void DigestHa2(const char* method, const char* digestUri, HexDigest ha2);

// The request-digest. With a qop (present, whatever it holds): the nonce
// count, cnonce and qop are covered; `qop` null: the RFC 2069 form.
void DigestResponse(const HexDigest ha1, const char* nonce, const char* nonceCount, const char* cnonce,
                    const char* qop, const char* method, const char* digestUri, HexDigest response);

}  // namespace quorvane
