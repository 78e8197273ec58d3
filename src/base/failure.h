// The one helper of the I/O failure convention: functions that can fail
// return bool and, on failure, give their reason through an optional
// `std::string* error` (see CONTRIBUTING.md).
#pragma once

#include <string>

namespace quorvane {

// Stores `reason` where the caller asked for it; always false, so that
// `return Fail(error, "...");` ends a failing function.
inline bool Fail(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
  return false;
}

}  // namespace quorvane
