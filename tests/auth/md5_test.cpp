#include "auth/md5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "auth/digest_calc.h"

namespace quorvane {
namespace {

std::string Md5Hex(const std::uint8_t* data, std::size_t size) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, data, static_cast<std::uint32_t>(size));
  std::uint8_t digest[16];
  Md5Final(digest, &context);
  HexDigest hex;
  DigestToHex(digest, hex);
  return hex;
}

std::string Md5Hex(const std::string& text) {
  return Md5Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string OpenSslMd5Hex(const std::uint8_t* data, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr);
  HexDigest hex;
  DigestToHex(digest, hex);
  return hex;
}

TEST(Md5, Rfc1321TestSuite) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"}};
  for (const auto& [text, digest] : suite) EXPECT_EQ(Md5Hex(text), digest) << '"' << text << '"';
}

TEST(Md5, PiecesOfAnySizeEqualOneCall) {
  const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
  std::printf("md5 pieces seed %u\n", seed);
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(1000);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  const std::string whole = Md5Hex(data.data(), data.size());
  for (int trial = 0; trial < 200; ++trial) {
    Md5Context context;
    Md5Init(&context);
    std::size_t pos = 0;
    while (pos < data.size()) {
      const std::size_t n = std::min<std::size_t>(data.size() - pos, random() % 130);  // 0 included
      Md5Update(&context, data.data() + pos, static_cast<std::uint32_t>(n));
      pos += n;
    }
    std::uint8_t digest[16];
    Md5Final(digest, &context);
    HexDigest hex;
    DigestToHex(digest, hex);
    ASSERT_EQ(std::string(hex), whole) << "trial " << trial;
  }
}

TEST(Md5, MatchesOpenSslAtEveryLengthAndBlockEdge) {
  const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
  std::printf("md5 openssl seed %u\n", seed);
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(4096);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  std::vector<std::size_t> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 4096};
  for (int i = 0; i < 300; ++i) lengths.push_back(random() % data.size());
  for (std::size_t n : lengths) EXPECT_EQ(Md5Hex(data.data(), n), OpenSslMd5Hex(data.data(), n)) << n;
}

TEST(Md5, ContextIsAllZeroAfterFinal) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, reinterpret_cast<const std::uint8_t*>("abc"), 3);
  std::uint8_t digest[16];
  Md5Final(digest, &context);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&context);
  for (std::size_t i = 0; i < sizeof context; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

}  // namespace
}  // namespace quorvane
