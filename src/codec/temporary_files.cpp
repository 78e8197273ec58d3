#include "codec/temporary_files.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

namespace quorvane {
namespace {

constexpr int kSlots = 16;
constexpr std::size_t kPathBytes = 4096;

// A slot's path is written before it is marked in use, and read by the
// handler only while it is; lock-free atomics are safe in a handler.
char paths[kSlots][kPathBytes];
std::atomic<bool> inUse[kSlots];

}  // namespace

void RegisterTemporaryFile(const std::string& path) {
  if (path.size() >= kPathBytes) return;
  for (int i = 0; i < kSlots; ++i) {
    if (inUse[i].load()) continue;
    std::memcpy(paths[i], path.c_str(), path.size() + 1);
    inUse[i].store(true);
    return;
  }
}

void ForgetTemporaryFile(const std::string& path) {
  for (int i = 0; i < kSlots; ++i) {
    if (inUse[i].load() && path == paths[i]) {
      inUse[i].store(false);
      return;
    }
  }
}

void RemoveTemporaryFiles() {
  for (int i = 0; i < kSlots; ++i) {
    if (inUse[i].load()) unlink(paths[i]);
  }
}

}  // namespace quorvane
