// The hash functions of digest authentication: MD5 (our own, the one the
// AuthTest vector uses), SHA-256 and SHA-512/256 (libcrypto).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

enum class DigestHash { kMd5, kSha256, kSha512_256 };

// One incremental hash computation.
class DigestHasher {
 public:
  explicit DigestHasher(DigestHash hash);
  ~DigestHasher();
  DigestHasher(const DigestHasher&) = delete;
  DigestHasher& operator=(const DigestHasher&) = delete;

  DigestHasher& Update(std::string_view bytes);
  // The digest; the hasher is spent afterwards.
  std::vector<std::uint8_t> Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Lower-case hex of `bytes`, two digits each.
std::string ToLowerHex(const std::vector<std::uint8_t>& bytes);

// Lower-case hex digest of `bytes`.
std::string HashHex(DigestHash hash, std::string_view bytes);

}  // namespace quorvane
