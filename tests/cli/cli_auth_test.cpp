// End-to-end: quorvane authtest and quorvane digest.
#include <gtest/gtest.h>

#include "auth/auth_test.h"
#include "auth/digest_request.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

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

// RFC 7616 section 3.9.1.
const std::vector<std::string> kRfc7616 = {"digest", "--user", "Mufasa", "--realm", "http-auth@example.org",
                                           "--password", "Circle of Life", "--nonce",
                                           "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v", "--method", "GET", "--uri",
                                           "/dir/index.html", "--qop", "auth", "--nc", "00000001", "--cnonce",
                                           "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string CheckHeader(const std::string& algorithm, const std::string& response) {
  return "Authorization: Digest username=\"Mufasa\",\r\n realm=\"http-auth@example.org\",\r\n uri=\"/dir/index.html\","
         "\r\n algorithm=" + algorithm + ",\r\n nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\",\r\n nc=00000001,"
         "\r\n cnonce=\"f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ\",\r\n qop=auth,\r\n response=\"" + response +
         "\",\r\n opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"\r\n";
}

// The password off the command line: from a file, from the environment;
// none at all is a usage error, and with no terminal to ask on, "-" fails.
TEST(CliDigest, PasswordSources) {
  testing::TempDir dir;
  testing::WriteBytes(dir.File("pw"), {'C', 'i', 'r', 'c', 'l', 'e', ' ', 'o', 'f', ' ', 'L', 'i', 'f', 'e', '\r', '\n'});
  std::vector<std::string> without = kRfc7616;
  without.erase(without.begin() + 5, without.begin() + 7);  // --password and its value
  const std::string expected = "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1\n";
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> env;
    int exitCode;
  } cases[] = {
      {"file", With(without, {"--password-file", dir.File("pw")}), {}, 0},
      {"environment", without, {"QUORVANE_DIGEST_PASSWORD=Circle of Life"}, 0},
      {"the file before the environment", With(without, {"--password-file", dir.File("pw")}),
       {"QUORVANE_DIGEST_PASSWORD=wrong"}, 0},
      {"none", without, {}, 2},
      {"a missing file", With(without, {"--password-file", dir.File("none")}), {}, 1},
      {"no terminal to ask on", With(without, {"--password", "-"}), {}, 1},
  };
  for (const auto& c : cases) {
    const auto r = testing::RunProcess(
        With({"/usr/bin/setsid", QUORVANE_BINARY}, With(c.args, {"--algorithm", "SHA-256", "--response-only"})), "",
        c.env);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err;
    EXPECT_EQ(r.out, c.exitCode == 0 ? expected : "") << c.what;
  }
}

TEST(CliDigest, NonceCountIsEightHexDigits) {
  auto args = kRfc7616;
  args[16] = "1";
  const auto r = RunQuorvane(args);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "quorvane: --nc: 1 is not 8 hex digits\n");
}

TEST(CliDigest, ExitCodesAndOutput) {
  constexpr const char* kMd5 = "8ca523f5e9506fed4657c9700eebdbec";
  constexpr const char* kSha256 = "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1";
  const std::vector<std::string> check = {"digest", "--password", "Circle of Life", "--method", "GET", "--check"};
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;    // exact stdout
    std::string inErr;  // part of stderr
  };
  const Case cases[] = {
      {With(kRfc7616, {"--response-only"}), 0, std::string(kMd5) + "\n", ""},
      {With(kRfc7616, {"--algorithm", "sha-256", "--response-only"}), 0, std::string(kSha256) + "\n", ""},
      {With(kRfc7616, {"--algorithm", "SHA-1"}), 2, "", "--algorithm: SHA-1 is not one of MD5, MD5-sess"},
      {With(std::vector<std::string>(kRfc7616.begin(), kRfc7616.end() - 6), {"--qop", "auth-conf", "--nc", "1", "--cnonce", "c"}),
       2, "", "--qop: auth-conf is not one of auth, auth-int"},
      {With(std::vector<std::string>(kRfc7616.begin(), kRfc7616.end() - 6), {"--qop", "auth-int", "--nc", "1", "--cnonce", "c"}),
       2, "", "--body"},
      {With(kRfc7616, {"--body", "/dev/null"}), 2, "", "--body: only qop auth-int"},
      {With(kRfc7616, {"--legacy-sess"}), 2, "", "--legacy-sess"},
      {With(check, {CheckHeader("MD5", kMd5)}), 0, "match\nexpected response: " + std::string(kMd5) + "\n", ""},
      {With(check, {CheckHeader("SHA-256", kSha256)}), 0, "match\nexpected response: " + std::string(kSha256) + "\n", ""},
      {With(check, {CheckHeader("MD5", kSha256)}), 1, "mismatch\nexpected response: " + std::string(kMd5) + "\n", ""},
      {With(check, {"Digest username=\"Mufasa\""}), 2, "", "--check: the header has no response parameter"},
      {With(check, {CheckHeader("MD5", kMd5), "--nonce", "n"}), 2, "", "excludes"},
  };
  for (const Case& c : cases) {
    const auto r = RunQuorvane(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.args);
    EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
  }
}

TEST(CliDigest, AuthIntReadsTheBodyFile) {
  testing::TempDir dir;
  const std::string body = dir.File("body.sdp");
  testing::WriteBytes(body, {'v', '=', '0', '\r', '\n'});
  auto args = kRfc7616;
  args[args.size() - 5] = "auth-int";
  DigestRequest request;
  request.qop = DigestQop::kAuthInt;
  request.userName = "Mufasa";
  request.realm = "http-auth@example.org";
  request.password = "Circle of Life";
  request.nonce = args[8];
  request.cnonce = args.back();
  request.nonceCount = "00000001";
  request.method = "GET";
  request.uri = "/dir/index.html";
  request.body = "v=0\r\n";
  const auto r = RunQuorvane(With(args, {"--body", body, "--response-only"}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, ComputeDigest(request).response + "\n");
  EXPECT_EQ(RunQuorvane(With(args, {"--body", dir.File("missing")})).exitCode, 1);
}

}  // namespace
}  // namespace quorvane
