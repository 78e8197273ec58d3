#include "auth/digest_request.h"

#include <gtest/gtest.h>

#include <string>

#include "auth/digest_calc.h"

namespace quorvane {
namespace {

// The example of RFC 7616 section 3.9.1.
DigestRequest Rfc7616Example(DigestHash hash) {
  DigestRequest r;
  r.algorithm.hash = hash;
  r.qop = DigestQop::kAuth;
  r.userName = "Mufasa";
  r.realm = "http-auth@example.org";
  r.password = "Circle of Life";
  r.nonce = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
  r.cnonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";
  r.nonceCount = "00000001";
  r.method = "GET";
  r.uri = "/dir/index.html";
  return r;
}

TEST(DigestRequest, Rfc7616Example) {
  EXPECT_EQ(ComputeDigest(Rfc7616Example(DigestHash::kMd5)).response, "8ca523f5e9506fed4657c9700eebdbec");
  EXPECT_EQ(ComputeDigest(Rfc7616Example(DigestHash::kSha256)).response,
            "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
}

TEST(DigestRequest, Sha512_256IsTheFipsFunction) {
  EXPECT_EQ(HashHex(DigestHash::kSha512_256, "abc"), "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23");
  EXPECT_EQ(HashHex(DigestHash::kSha512_256,
                    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                    "mnopqrstnopqrstu"),
            "3928e184fb8690f840da3988121d31be65cb9d3ef83ee6146feac861e19b563a");
  // The userhash printed in RFC 7616's SHA-512-256 example (488869477b...)
  // is the first half of plain SHA-512, not SHA-512/256; servers that use
  // the real function expect this one.
  EXPECT_EQ(DigestUserHash(DigestHash::kSha512_256, "J\xC3\xA4s\xC3\xB8n Doe", "api@example.org"),
            "793263caabb707a56211940d90411ea4a575adeccb7e360aeb624ed06ece9b0b");
}

TEST(DigestRequest, AuthIntCoversTheBody) {
  for (const std::string body : {"", "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\n"}) {
    DigestRequest r = Rfc7616Example(DigestHash::kSha256);
    r.qop = DigestQop::kAuthInt;
    r.body = body;
    const DigestAnswer a = ComputeDigest(r);
    const std::string ha1 = HashHex(DigestHash::kSha256, "Mufasa:http-auth@example.org:Circle of Life");
    const std::string ha2 = HashHex(DigestHash::kSha256, "GET:/dir/index.html:" + HashHex(DigestHash::kSha256, body));
    EXPECT_EQ(a.ha2, ha2);
    EXPECT_EQ(a.response, HashHex(DigestHash::kSha256, ha1 + ":" + r.nonce + ":00000001:" + r.cnonce + ":auth-int:" + ha2));
  }
}

TEST(DigestRequest, SessionKeyFromTheHexTextOrTheLegacyRawBytes) {
  DigestRequest r = Rfc7616Example(DigestHash::kMd5);
  r.algorithm.session = true;
  const std::string first = HashHex(DigestHash::kMd5, "Mufasa:http-auth@example.org:Circle of Life");
  EXPECT_EQ(ComputeDigest(r).ha1, HashHex(DigestHash::kMd5, first + ":" + r.nonce + ":" + r.cnonce));
  r.sessionKey = SessionKey::kRawBytes;
  HexDigest legacy;  // the AuthTest path's md5-sess, which hashes the raw bytes
  DigestHa1("MD5-sess", "Mufasa", "http-auth@example.org", "Circle of Life", r.nonce.c_str(), r.cnonce.c_str(), legacy);
  EXPECT_EQ(ComputeDigest(r).ha1, legacy);
}

TEST(DigestRequest, NamesInAnyLetterCaseAndNothingElse) {
  EXPECT_TRUE(ParseDigestAlgorithm("sha-512-256-SESS").has_value());
  EXPECT_TRUE(ParseDigestQop("AUTH-INT").has_value());
  for (const char* unknown : {"SHA-1", "MD5-sess2", "SHA-512", ""}) EXPECT_FALSE(ParseDigestAlgorithm(unknown)) << unknown;
  for (const char* unknown : {"auth-conf", "auth,auth-int", ""}) EXPECT_FALSE(ParseDigestQop(unknown)) << unknown;
}

}  // namespace
}  // namespace quorvane
