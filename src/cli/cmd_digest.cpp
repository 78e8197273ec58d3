// quorvane digest --user U --realm R --password P --nonce N --method M --uri URI ...
// quorvane digest --check HEADER --password P --method M [--body FILE]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "auth/digest_check.h"
#include "auth/digest_request.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/password_source.h"

namespace quorvane::cli {
namespace {

struct DigestArgs {
  std::string check;
  std::string user, realm, password, passwordFile, nonce, method, uri;
  std::string algorithm = "MD5";
  std::string cnonce, nonceCount, qop, bodyPath;
  bool userhash = false;
  bool legacySess = false;
  bool responseOnly = false;
};

// The whole body of FILE, or of standard input for "-".
bool ReadBody(const std::string& path, std::string& body, std::string& error) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) body.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  error = failed ? std::strerror(errno ? errno : EIO) : "";
  if (file != stdin) std::fclose(file);
  return !failed;
}

// Reads --body when given; false (the error printed) when it cannot be read.
bool LoadBody(const DigestArgs& a, bool given, std::optional<std::string>& body) {
  if (!given) return true;
  std::string error;
  body.emplace();
  if (!ReadBody(a.bodyPath, *body, error)) {
    PrintError(a.bodyPath == "-" ? "stdin" : a.bodyPath, error);
    return false;
  }
  return true;
}

int UsageError(const std::string& subject, const std::string& reason) {
  PrintError(subject, reason);
  return kExitUsage;
}

// The password from --password (- asks on the terminal), --password-file or
// the environment; false, the reason printed, when there is none.
bool ResolvePassword(const DigestArgs& a, const CLI::App& sub, std::string& password, int& status) {
  std::string error;
  status = kExitFailure;
  if (sub.get_option("--password-file")->count() > 0) {
    if (ReadPasswordFile(a.passwordFile, &password, &error)) return true;
    PrintError("--password-file", error);
    return false;
  }
  if (sub.get_option("--password")->count() > 0) {
    if (a.password != "-") {
      password = a.password;
      return true;
    }
    if (ReadPasswordFromTerminal(&password, &error)) return true;
    PrintError("--password", error);
    return false;
  }
  if (const char* value = std::getenv(kPasswordVariable)) {
    password = value;
    return true;
  }
  status = UsageError("digest", std::string("a password is needed: --password-file FILE, ") + kPasswordVariable +
                                    " or --password - (asks on the terminal)");
  return false;
}

int RunCalculator(const DigestArgs& a, const CLI::App& sub) {
  for (const char* name : {"--user", "--realm", "--nonce", "--uri"}) {
    if (sub.get_option(name)->count() == 0) return UsageError("digest", std::string(name) + " is required");
  }
  DigestRequest request;
  const auto algorithm = ParseDigestAlgorithm(a.algorithm);
  if (!algorithm) {
    return UsageError("--algorithm", a.algorithm + " is not one of " + kDigestAlgorithmNames);
  }
  request.algorithm = *algorithm;
  const bool hasQop = sub.get_option("--qop")->count() > 0;
  if (hasQop) {
    const auto qop = ParseDigestQop(a.qop);
    if (!qop) return UsageError("--qop", a.qop + " is not one of " + kDigestQopNames);
    request.qop = *qop;
    request.qopText = a.qop;
  }
  const bool hasBody = sub.get_option("--body")->count() > 0;
  if (request.qop == DigestQop::kAuthInt && !hasBody) {
    return UsageError("--qop", "auth-int covers the message body: give --body FILE (/dev/null for none)");
  }
  if (request.qop != DigestQop::kAuthInt && hasBody) return UsageError("--body", "only qop auth-int covers a body");
  if (request.algorithm.session && sub.get_option("--cnonce")->count() == 0) {
    return UsageError("--algorithm", a.algorithm + " needs --cnonce");
  }
  if (a.legacySess && !request.algorithm.session) return UsageError("--legacy-sess", "needs a -sess algorithm");
  if (hasQop && !IsNonceCount(a.nonceCount)) return UsageError("--nc", a.nonceCount + " is not 8 hex digits");
  int status = kExitOk;
  if (!ResolvePassword(a, sub, request.password, status)) return status;
  std::optional<std::string> body;
  if (!LoadBody(a, hasBody, body)) return kExitFailure;
  if (body) request.body = std::move(*body);
  request.sessionKey = a.legacySess ? SessionKey::kRawBytes : SessionKey::kHexText;
  request.userName = a.user;
  request.realm = a.realm;
  request.nonce = a.nonce;
  request.cnonce = a.cnonce;
  request.nonceCount = a.nonceCount;
  request.method = a.method;
  request.uri = a.uri;
  const DigestAnswer answer = ComputeDigest(request);
  if (a.responseOnly) {
    PrintLine(answer.response);
    return kExitOk;
  }
  PrintLine("H(A1): " + answer.ha1);
  PrintLine("H(A2): " + answer.ha2);
  PrintLine("response: " + answer.response);
  if (a.userhash) PrintLine("userhash: " + DigestUserHash(request.algorithm.hash, a.user, a.realm));
  return kExitOk;
}

int RunCheck(const DigestArgs& a, const CLI::App& sub) {
  DigestCheckInput input;
  int status = kExitOk;
  if (!ResolvePassword(a, sub, input.password, status)) return status;
  input.method = a.method;
  if (sub.get_option("--user")->count() > 0) input.userName = a.user;
  if (!LoadBody(a, sub.get_option("--body")->count() > 0, input.body)) return kExitFailure;
  DigestCheck check;
  std::string error;
  if (!CheckDigestHeader(a.check, input, check, &error)) return UsageError("--check", error);
  PrintLine(check.matches ? "match" : "mismatch");
  PrintLine("expected response: " + check.expected);
  if (check.userHashed) {
    PrintLine("expected userhash: " + check.expectedUserHash + (check.userHashMatches ? "" : " (the header's differs)"));
  }
  if (check.legacyMatches) {
    PrintLine("the header's response is the legacy -sess one (session key from the raw bytes of the first hash, "
              "as RFC 2617's sample code made it): " + check.legacyExpected);
  }
  return check.matches ? kExitOk : kExitFailure;
}

}  // namespace

CommandRunner AttachDigest(CLI::App& sub) {
  auto args = std::make_shared<DigestArgs>();
  sub.description(
      "Compute an HTTP (RFC 7616) or SIP (RFC 8760) digest response. Prints H(A1), H(A2)\n"
      "and the response, one labelled line each, or only the response with --response-only.\n"
      "Algorithms: MD5 (default), MD5-sess, SHA-256, SHA-256-sess, SHA-512-256,\n"
      "SHA-512-256-sess, in any letter case; a -sess algorithm needs --cnonce and makes its\n"
      "session key from the hex text of the first hash (--legacy-sess: from its raw bytes,\n"
      "as RFC 2617's sample code did). With --qop (auth or auth-int), --nc and --cnonce are\n"
      "required and covered by the response; without it the RFC 2069 form is used.\n"
      "auth-int covers the message body: --body FILE (- for stdin, /dev/null for none).\n"
      "\n"
      "With --check HEADER: read a captured Authorization or Proxy-Authorization header\n"
      "(with or without its name and the word Digest), recompute its response from its\n"
      "own parameters, --password and --method (and --body for auth-int; --user when it\n"
      "carries userhash=true), print match or mismatch and the expected response.\n"
      "Exit status: 0 match, 1 mismatch, 2 a header that cannot be read or lacks a parameter.\n"
      "Without --check, --user, --realm, --nonce and --uri are required.\n"
      "The password comes from --password-file FILE, else --password (- asks on the terminal\n"
      "without echo), else the environment variable QUORVANE_DIGEST_PASSWORD.");
  sub.add_option("--check", args->check, "A captured Authorization header to check");
  sub.add_option("--user", args->user, "User name (with --check: the name behind userhash=true)");
  sub.add_option("--realm", args->realm, "Realm");
  CLI::Option* password = sub.add_option(
      "--password", args->password,
      "Password, seen by every user of the machine in the process list: prefer --password-file, the "
      "QUORVANE_DIGEST_PASSWORD environment variable, or - to be asked on the terminal");
  sub.add_option("--password-file", args->passwordFile, "Read the password from the first line of FILE")
      ->excludes(password);
  sub.add_option("--nonce", args->nonce, "Server nonce");
  sub.add_option("--method", args->method, "Request method, e.g. REGISTER")->required();
  sub.add_option("--uri", args->uri, "Digest URI, e.g. sip:example.com");
  CLI::Option* algorithm = sub.add_option("--algorithm", args->algorithm, "Hash algorithm (see above)")->capture_default_str();
  CLI::Option* cnonce = sub.add_option("--cnonce", args->cnonce, "Client nonce");
  CLI::Option* nc = sub.add_option("--nc", args->nonceCount, "Nonce count, e.g. 00000001");
  CLI::Option* qop = sub.add_option("--qop", args->qop, "Quality of protection: auth or auth-int");
  qop->needs(nc)->needs(cnonce);
  sub.add_option("--body", args->bodyPath, "Message body for qop auth-int (- for stdin)");
  CLI::Option* userhash = sub.add_flag("--userhash", args->userhash, "Also print the hashed user name, H(user:realm)");
  CLI::Option* legacy = sub.add_flag("--legacy-sess", args->legacySess, "-sess session key from the raw bytes of the first hash");
  CLI::Option* responseOnly = sub.add_flag("--response-only", args->responseOnly, "Print only the response");
  responseOnly->excludes(userhash);
  CLI::Option* check = sub.get_option("--check");
  for (CLI::Option* calculatorOnly : {sub.get_option("--realm"), sub.get_option("--nonce"), sub.get_option("--uri"),
                                      algorithm, cnonce, nc, qop, userhash, legacy, responseOnly}) {
    check->excludes(calculatorOnly);
  }
  return [args, &sub]() -> int {
    return sub.get_option("--check")->count() > 0 ? RunCheck(*args, sub) : RunCalculator(*args, sub);
  };
}

}  // namespace quorvane::cli
