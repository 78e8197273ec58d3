// The Authorization header reader and the check on arbitrary texts: no
// crash, and what it reads it reads again the same once written back out.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "auth/digest_check.h"
#include "auth/digest_header.h"

namespace {

std::string Quoted(const std::string& value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view header(reinterpret_cast<const char*>(data), size);
  quorvane::DigestCredentials credentials;
  std::string error;
  if (quorvane::ParseDigestCredentials(header, credentials, &error)) {
    std::string written = "Digest ";
    for (const auto& [name, value] : credentials.parameters) {
      if (name.empty() || name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos) std::abort();
      written += name + "=" + Quoted(value) + ", ";
    }
    quorvane::DigestCredentials again;
    if (!quorvane::ParseDigestCredentials(written, again, &error) || again.parameters != credentials.parameters) {
      std::abort();
    }
  } else if (error.empty()) {
    std::abort();
  }
  quorvane::DigestCheckInput input{"secret", "REGISTER", {}, "body"};
  if (credentials.Find("userhash") != nullptr) input.userName = "alice";
  quorvane::DigestCheck check;
  if (quorvane::CheckDigestHeader(header, input, check, &error)) {
    const std::size_t length = check.expected.size();
    if ((length != 32 && length != 64) || check.expected.find_first_not_of("0123456789abcdef") != std::string::npos) {
      std::abort();
    }
  }
  return 0;
}
