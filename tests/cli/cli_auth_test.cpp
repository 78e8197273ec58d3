// End-to-end: quorvane authtest and quorvane digest.
#include <gtest/gtest.h>

#include "auth/auth_test.h"
#include "support/run_process.h"

namespace quorvane {
namespace {

using testing::RunQuorvane;

TEST(CliAuth, AuthTestPrintsTheResponse) {
  const auto r = RunQuorvane({"authtest"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, AuthTestResponse() + "\n");
  EXPECT_EQ(r.err, "");
}

const std::vector<std::string> kRfcExample = {"digest", "--user", "Mufasa", "--realm", "testrealm@host.com",
                                              "--password", "Circle Of Life", "--nonce",
                                              "dcd98b7102dd2f0e8b11d0f600bfb0c093", "--method", "GET", "--uri",
                                              "/dir/index.html", "--qop", "auth", "--nc", "00000001",
                                              "--cnonce", "0a4f113b"};

TEST(CliAuth, DigestOfTheRfcExample) {
  const auto r = RunQuorvane(kRfcExample);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "H(A1): 939e7578ed9e3c518a452acee763bce9\n"
            "H(A2): 39aff3a2bab6126f332b942af96d3366\n"
            "response: 6629fae49393a05397450978507c4ef1\n");
  auto only = kRfcExample;
  only.push_back("--response-only");
  EXPECT_EQ(RunQuorvane(only).out, "6629fae49393a05397450978507c4ef1\n");
}

TEST(CliAuth, DigestUsageErrors) {
  auto noUser = kRfcExample;
  noUser.erase(noUser.begin() + 1, noUser.begin() + 3);
  auto qopWithoutNc = std::vector<std::string>(kRfcExample.begin(), kRfcExample.begin() + 15);
  auto sessWithoutCnonce = std::vector<std::string>(kRfcExample.begin(), kRfcExample.begin() + 13);
  sessWithoutCnonce.insert(sessWithoutCnonce.end(), {"--algorithm", "MD5-sess"});
  for (const auto& args : {noUser, qopWithoutNc, sessWithoutCnonce}) {
    const auto r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace quorvane
