// A DTMF INFO body of any bytes, as application/dtmf-relay (first byte
// even) or application/dtmf (odd): a key that is a key, a sane duration.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "io/sip/dtmf_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view type = data[0] % 2 == 0 ? "application/dtmf-relay" : "application/dtmf";
  const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::optional<quorvane::io::InfoKey> info = quorvane::io::ParseDtmfInfo(type, body);
  if (info && std::string("0123456789*#ABCD").find(info->key) == std::string::npos) std::abort();
  if (info && info->duration && *info->duration < 0) std::abort();
  return 0;
}
