#include "auth/digest_hash.h"

#include <cstdio>
#include <cstdlib>

#include <openssl/evp.h>

#include <algorithm>

#include "auth/md5.h"

namespace quorvane {

struct DigestHasher::State {
  DigestHash hash;
  Md5Context md5;                  // DigestHash::kMd5
  EVP_MD_CTX* evp = nullptr;       // the SHA family
};

DigestHasher::DigestHasher(DigestHash hash) : state_(std::make_unique<State>()) {
  state_->hash = hash;
  if (hash == DigestHash::kMd5) {
    Md5Init(&state_->md5);
    return;
  }
  // SHA-512/256 is FIPS 180-4's own function with its own initial values,
  // not SHA-512 cut to 256 bits.
  const EVP_MD* md = hash == DigestHash::kSha256 ? EVP_sha256() : EVP_sha512_256();
  state_->evp = EVP_MD_CTX_new();
  if (state_->evp == nullptr || EVP_DigestInit_ex(state_->evp, md, nullptr) != 1) {
    // Only a failed allocation gets here: the program cannot go on, as
    // with any other allocation that fails.
    std::fputs("quorvane: libcrypto cannot start a SHA computation\n", stderr);
    std::abort();
  }
}

DigestHasher::~DigestHasher() { EVP_MD_CTX_free(state_->evp); }

DigestHasher& DigestHasher::Update(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (state_->hash != DigestHash::kMd5) {
    EVP_DigestUpdate(state_->evp, data, bytes.size());
    return *this;
  }
  // Md5Update takes 32-bit lengths.
  constexpr std::size_t kPiece = 1u << 30;
  for (std::size_t done = 0; done < bytes.size(); done += kPiece) {
    const std::size_t n = std::min(kPiece, bytes.size() - done);
    Md5Update(&state_->md5, data + done, static_cast<std::uint32_t>(n));
  }
  return *this;
}

std::vector<std::uint8_t> DigestHasher::Final() {
  if (state_->hash == DigestHash::kMd5) {
    std::vector<std::uint8_t> digest(16);
    Md5Final(digest.data(), &state_->md5);
    return digest;
  }
  std::vector<std::uint8_t> digest(static_cast<std::size_t>(EVP_MD_CTX_get_size(state_->evp)));
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->evp, digest.data(), &length);
  digest.resize(length);
  return digest;
}

std::string ToLowerHex(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (std::uint8_t b : bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

std::string HashHex(DigestHash hash, std::string_view bytes) {
  return ToLowerHex(DigestHasher(hash).Update(bytes).Final());
}

}  // namespace quorvane
