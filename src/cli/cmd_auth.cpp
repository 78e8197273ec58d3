// quorvane authtest
// quorvane digest --user U --realm R --password P --nonce N --method M --uri URI ...
#include <strings.h>

#include <cstdio>
#include <memory>
#include <string>

#include "auth/auth_test.h"
#include "auth/digest_calc.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "platform/debug_output.h"

namespace quorvane::cli {
namespace {

struct DigestArgs {
  std::string user, realm, password, nonce, method, uri;
  std::string algorithm, cnonce, nonceCount, qop;
  bool responseOnly = false;
};

int RunDigest(const DigestArgs& a, bool hasAlgorithm, bool hasQop) {
  HexDigest ha1;
  HexDigest ha2;
  HexDigest response;
  DigestHa1(hasAlgorithm ? a.algorithm.c_str() : nullptr, a.user.c_str(), a.realm.c_str(), a.password.c_str(),
            a.nonce.c_str(), a.cnonce.c_str(), ha1);
  DigestHa2(a.method.c_str(), a.uri.c_str(), ha2);
  DigestResponse(ha1, a.nonce.c_str(), a.nonceCount.c_str(), a.cnonce.c_str(), hasQop ? a.qop.c_str() : nullptr,
                 a.method.c_str(), a.uri.c_str(), response);
  if (!a.responseOnly) {
    PrintLine(std::string("H(A1): ") + ha1);
    PrintLine(std::string("H(A2): ") + ha2);
    PrintLine(std::string("response: ") + response);
  } else {
    PrintLine(response);
  }
  return kExitOk;
}

}  // namespace

CommandRunner AttachAuthTest(CLI::App& sub) {
  sub.description(
      "Print the digest response (RFC 2617, MD5, qop auth) of the built-in SIP REGISTER\n"
      "test vector: 32 hex digits and a newline.");
  return [] {
    platform::SetDebugOutputSink(DebugTextToStdout, nullptr);
    RunAuthTest();
    platform::SetDebugOutputSink(nullptr, nullptr);
    return kExitOk;
  };
}

CommandRunner AttachDigest(CLI::App& sub) {
  auto args = std::make_shared<DigestArgs>();
  sub.description(
      "Compute an HTTP/SIP digest response (RFC 2617, MD5). Prints H(A1), H(A2) and the\n"
      "response, one labelled line each, or only the response with --response-only.\n"
      "With --qop, --nc and --cnonce are required and covered by the response; without\n"
      "it the RFC 2069 form is used. --algorithm MD5-sess (any letter case) needs --cnonce.");
  sub.add_option("--user", args->user, "User name")->required();
  sub.add_option("--realm", args->realm, "Realm")->required();
  sub.add_option("--password", args->password, "Password")->required();
  sub.add_option("--nonce", args->nonce, "Server nonce")->required();
  sub.add_option("--method", args->method, "Request method, e.g. REGISTER")->required();
  sub.add_option("--uri", args->uri, "Digest URI, e.g. sip:example.com")->required();
  CLI::Option* algorithm = sub.add_option("--algorithm", args->algorithm, "MD5 (default) or MD5-sess");
  CLI::Option* cnonce = sub.add_option("--cnonce", args->cnonce, "Client nonce");
  CLI::Option* nc = sub.add_option("--nc", args->nonceCount, "Nonce count, e.g. 00000001");
  CLI::Option* qop = sub.add_option("--qop", args->qop, "Quality of protection, e.g. auth");
  qop->needs(nc)->needs(cnonce);
  sub.add_flag("--response-only", args->responseOnly, "Print only the response");
  return [args, algorithm, cnonce, qop]() -> int {
    const bool session = algorithm->count() > 0 && strcasecmp(args->algorithm.c_str(), "md5-sess") == 0;
    if (session && cnonce->count() == 0) {
      PrintError("digest", "--algorithm MD5-sess needs --cnonce");
      return kExitUsage;
    }
    return RunDigest(*args, algorithm->count() > 0, qop->count() > 0);
  };
}

}  // namespace quorvane::cli
