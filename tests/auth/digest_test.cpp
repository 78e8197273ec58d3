#include "auth/digest_calc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auth/auth_test.h"
#include "auth/md5.h"
#include "platform/debug_output.h"

namespace quorvane {
namespace {

std::string Md5HexOf(const std::string& text) {
  Md5Context c;
  Md5Init(&c);
  Md5Update(&c, reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()));
  std::uint8_t d[16];
  Md5Final(d, &c);
  HexDigest h;
  DigestToHex(d, h);
  return h;
}

// RFC 2617, section 3.5.
constexpr const char* kUser = "Mufasa";
constexpr const char* kRealm = "testrealm@host.com";
constexpr const char* kPassword = "Circle Of Life";
constexpr const char* kNonce = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
constexpr const char* kCnonce = "0a4f113b";

std::string Ha1(const char* algorithm) {
  HexDigest h;
  DigestHa1(algorithm, kUser, kRealm, kPassword, kNonce, kCnonce, h);
  return h;
}

std::string Response(const std::string& ha1, const char* qop) {
  HexDigest r;
  DigestResponse(ha1.c_str(), kNonce, "00000001", kCnonce, qop, "GET", "/dir/index.html", r);
  return r;
}

TEST(Digest, Rfc2617Example) {
  EXPECT_EQ(Response(Ha1(nullptr), "auth"), "6629fae49393a05397450978507c4ef1");
}

TEST(Digest, Md5SessHashesTheRawBytesInAnyLetterCase) {
  const std::string plain = Ha1("MD5");
  EXPECT_EQ(plain, Ha1(nullptr));
  EXPECT_EQ(plain, Md5HexOf("Mufasa:testrealm@host.com:Circle Of Life"));
  // The raw 16 bytes, then ":nonce:cnonce".
  std::string raw;
  for (int i = 0; i < 16; ++i) raw.push_back(static_cast<char>(std::stoi(plain.substr(2 * i, 2), nullptr, 16)));
  const std::string session = Md5HexOf(raw + ":" + kNonce + ":" + kCnonce);
  for (const char* name : {"md5-sess", "MD5-SESS", "Md5-Sess"}) EXPECT_EQ(Ha1(name), session) << name;
  EXPECT_NE(session, Md5HexOf(plain + ":" + kNonce + ":" + kCnonce));  // the hex-text variant differs
  EXPECT_EQ(Ha1("md5-sess2"), plain);
}

TEST(Digest, WithoutQopTheRfc2069Form) {
  const std::string ha1 = Ha1(nullptr);
  const std::string ha2 = Md5HexOf("GET:/dir/index.html");
  EXPECT_EQ(Response(ha1, nullptr), Md5HexOf(ha1 + ":" + kNonce + ":" + ha2));
  // A present qop is fed as it stands, even empty.
  EXPECT_EQ(Response(ha1, ""), Md5HexOf(ha1 + ":" + kNonce + ":00000001:" + kCnonce + "::" + ha2));
  EXPECT_EQ(Response(ha1, "auth-int"),
            Md5HexOf(ha1 + ":" + kNonce + ":00000001:" + kCnonce + ":auth-int:" + ha2));
}

TEST(Digest, OnlyThe255FirstCharactersOfA1Count) {
  const std::string user(200, 'u');
  const std::string realm(100, 'r');
  HexDigest h;
  DigestHa1(nullptr, user.c_str(), realm.c_str(), "pw", "n", "c", h);
  EXPECT_EQ(std::string(h), Md5HexOf((user + ":" + realm + ":pw").substr(0, 255)));
}

TEST(Digest, HexKeepsLeadingZerosInLowerCase) {
  const std::uint8_t digest[16] = {0x0A, 0x00, 0xFF, 0x10, 0xB0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xCD, 0xEF};
  HexDigest h;
  DigestToHex(digest, h);
  EXPECT_STREQ(h, "0a00ff10b0010203040506070809cdef");
}

TEST(Digest, ResponseUsesOnlyThe32DigitsOfHa1) {
  const std::string ha1 = Ha1(nullptr);
  EXPECT_EQ(Response(ha1 + "trailing", "auth"), Response(ha1, "auth"));
}

struct Captured {
  std::vector<std::string> texts;
  static void Sink(void* self, const char* text) { static_cast<Captured*>(self)->texts.push_back(text); }
};

TEST(AuthTest, SendsTwoTextsThatRepeatOnEveryPress) {
  Captured captured;
  platform::SetDebugOutputSink(Captured::Sink, &captured);
  RunAuthTest();
  RunAuthTest();
  platform::SetDebugOutputSink(nullptr, nullptr);
  ASSERT_EQ(captured.texts.size(), 4u);
  EXPECT_EQ(captured.texts[0].size(), 32u);
  EXPECT_EQ(captured.texts[0].find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(captured.texts[1], "\n");
  EXPECT_EQ(captured.texts[2], captured.texts[0]);
  EXPECT_EQ(captured.texts[3], "\n");
  EXPECT_EQ(captured.texts[0], AuthTestResponse());
}

TEST(AuthTest, VectorHasTheStatedForm) {
  // The response follows from the documented inputs.
  const char* realm = "sip.quorvane-lab.local";
  const std::string user = std::string("861088812345@") + realm;
  ASSERT_EQ(std::string(realm).size(), 22u);
  ASSERT_EQ(user.size(), 35u);
  HexDigest ha1;
  HexDigest response;
  DigestHa1("MD5", user.c_str(), realm, "58203917", "Qk7mT2xv9LpA3rWc0YhN8s==", "7e2b90a4", ha1);
  DigestResponse(ha1, "Qk7mT2xv9LpA3rWc0YhN8s==", "00000001", "7e2b90a4", "auth", "REGISTER",
                 "sip:sip.quorvane-lab.local", response);
  EXPECT_EQ(AuthTestResponse(), response);
}

}  // namespace
}  // namespace quorvane
