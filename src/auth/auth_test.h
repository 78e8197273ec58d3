// The AuthTest command: the digest response of a fixed SIP REGISTER test
// vector, sent to the debug output stream.
#pragma once

#include <string>

namespace quorvane {

// The 32-digit response of the test vector.
std::string AuthTestResponse();

// Sends the response and then "\n" to the debug output stream, as two texts.
void RunAuthTest();

}  // namespace quorvane
