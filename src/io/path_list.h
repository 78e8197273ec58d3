// Lists of inputs in a file: one path per line, or NUL-separated so that a
// path may hold a newline.
#pragma once

#include <string>
#include <vector>

namespace quorvane::io {

// Reads the list at `path` ("-" for standard input) whose entries end at
// `separator` ('\n' or '\0'; the last one may lack it) and appends them to
// `paths`, skipping empty ones. Entries are kept byte for byte: spaces, and
// newlines in a NUL-separated list, are part of the path. False, with the
// reason, when the list could not be read whole.
bool ReadPathList(const std::string& path, char separator, std::vector<std::string>& paths, std::string* error);

}  // namespace quorvane::io
