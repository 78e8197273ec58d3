#include "auth/digest_calc.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "auth/md5.h"

namespace quorvane {
namespace {

void Feed(Md5Context& context, const char* text) {
  Md5Update(&context, reinterpret_cast<const std::uint8_t*>(text), static_cast<std::uint32_t>(std::strlen(text)));
}

void Feed(Md5Context& context, const char* text, std::uint32_t length) {
  Md5Update(&context, reinterpret_cast<const std::uint8_t*>(text), length);
}

}  // namespace

void DigestToHex(const std::uint8_t digest[16], HexDigest hex) {
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 0x0F];
  }
  hex[32] = 0;
}

void DigestHa1(const char* algorithm, const char* userName, const char* realm, const char* password,
               const char* nonce, const char* cnonce, HexDigest sessionKey) {
  char a1[256] = {};
  std::snprintf(a1, sizeof a1, "%s:%s:%s", userName, realm, password);
  Md5Context context;
  std::uint8_t ha1[16];
  Md5Init(&context);
  Feed(context, a1);
  Md5Final(ha1, &context);
  if (algorithm != nullptr && strcasecmp(algorithm, "md5-sess") == 0) {
    Md5Init(&context);
    Md5Update(&context, ha1, sizeof ha1);  // the raw bytes, not their hex text
    Feed(context, ":");
    Feed(context, nonce);
    Feed(context, ":");
    Feed(context, cnonce);
    Md5Final(ha1, &context);
  }
  DigestToHex(ha1, sessionKey);
}

void DigestHa2(const char* method, const char* digestUri, HexDigest ha2) {
  Md5Context context;
  std::uint8_t digest[16];
  Md5Init(&context);
  Feed(context, method);
  Feed(context, ":");
  Feed(context, digestUri);
  Md5Final(digest, &context);
  DigestToHex(digest, ha2);
}

void DigestResponse(const HexDigest ha1, const char* nonce, const char* nonceCount, const char* cnonce,
                    const char* qop, const char* method, const char* digestUri, HexDigest response) {
  HexDigest ha2;
  DigestHa2(method, digestUri, ha2);
  Md5Context context;
  Md5Init(&context);
  Feed(context, ha1, 32);
  Feed(context, ":");
  Feed(context, nonce);
  Feed(context, ":");
  if (qop != nullptr) {
    Feed(context, nonceCount);
    Feed(context, ":");
    Feed(context, cnonce);
    Feed(context, ":");
    Feed(context, qop);
    Feed(context, ":");
  }
  Feed(context, ha2, 32);
  std::uint8_t digest[16];
  Md5Final(digest, &context);
  DigestToHex(digest, response);
}

}  // namespace quorvane
