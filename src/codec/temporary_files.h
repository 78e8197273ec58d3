// The temporary files this process is writing, so that a signal that ends
// it can remove them: a destination is only ever replaced whole, and an
// interrupted write must not leave its half beside it.
#pragma once

#include <string>

namespace quorvane {

// Notes `path` while it is written; a path too long for the table, or a
// sixteenth file at once, is not noted (the rest still are).
void RegisterTemporaryFile(const std::string& path);
void ForgetTemporaryFile(const std::string& path);

// Removes every noted file. Safe in a signal handler: it only unlinks.
void RemoveTemporaryFiles();

}  // namespace quorvane
