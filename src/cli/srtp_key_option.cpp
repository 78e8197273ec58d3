#include "cli/srtp_key_option.h"

namespace quorvane::cli {

void AddSrtpKeyOption(CLI::App& sub, std::vector<std::string>& keys) {
  sub.add_option("--srtp-key", keys,
                 "Decrypt the SRTP stream of this SSRC with this key (SSRC:SUITE:BASE64KEY; SUITE is "
                 "AES_CM_128_HMAC_SHA1_80, AES_CM_128_HMAC_SHA1_32, AEAD_AES_128_GCM or AEAD_AES_256_GCM; the key is "
                 "master key and salt in base64, as in an SDP a=crypto line). May be given more than once; keys in "
                 "the capture's SDP are used without it")
      ->allow_extra_args(false)
      ->check([](const std::string& text) {
        std::string error;
        return io::ParseManualSrtpKey(text, &error) ? std::string() : error;
      });
}

std::vector<io::ManualSrtpKey> SrtpKeysOf(const std::vector<std::string>& keys) {
  std::vector<io::ManualSrtpKey> out;
  for (const std::string& text : keys) {
    if (std::optional<io::ManualSrtpKey> key = io::ParseManualSrtpKey(text, nullptr)) out.push_back(std::move(*key));
  }
  return out;
}

}  // namespace quorvane::cli
