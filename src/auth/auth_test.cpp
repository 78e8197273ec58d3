#include "auth/auth_test.h"

#include <cstring>

#include "auth/digest_calc.h"
#include "platform/debug_output.h"

namespace quorvane {
namespace {

// Each input in its own zero-filled 256-byte buffer.
struct AuthTestVector {
  char algorithm[256];
  char userName[256];
  char realm[256];
  char password[256];
  char nonce[256];
  char cnonce[256];
  char nonceCount[256];
  char qop[256];
  char method[256];
  char digestUri[256];
};

void Fill(char (&buffer)[256], const char* value) {
  std::memset(buffer, 0, sizeof buffer);
  std::strncpy(buffer, value, sizeof buffer - 1);
}

void Compute(HexDigest response) {
  AuthTestVector v;
  Fill(v.algorithm, "MD5");
  Fill(v.userName, "861088812345@sip.quorvane-lab.local");  // subscriber number @ realm
  Fill(v.realm, "sip.quorvane-lab.local");
  Fill(v.password, "58203917");
  Fill(v.nonce, "Qk7mT2xv9LpA3rWc0YhN8s==");
  Fill(v.cnonce, "7e2b90a4");
  Fill(v.nonceCount, "00000001");
  Fill(v.qop, "auth");
  Fill(v.method, "REGISTER");
  Fill(v.digestUri, "sip:sip.quorvane-lab.local");
  HexDigest ha1;
  DigestHa1(v.algorithm, v.userName, v.realm, v.password, v.nonce, v.cnonce, ha1);
  DigestResponse(ha1, v.nonce, v.nonceCount, v.cnonce, v.qop, v.method, v.digestUri, response);
}

}  // namespace

std::string AuthTestResponse() {
  HexDigest response;
  Compute(response);
  return response;
}

void RunAuthTest() {
  HexDigest response;
  Compute(response);
  platform::OutputDebugText(response);
  platform::OutputDebugText("\n");
}

}  // namespace quorvane
