// quorvane authtest
#include "auth/auth_test.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "platform/debug_output.h"

namespace quorvane::cli {
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

}  // namespace quorvane::cli
