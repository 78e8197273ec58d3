// The SDP reader on any text: every field it returns stays inside its
// limits.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "io/capture/sdp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<quorvane::io::SessionDescription> sdp =
      quorvane::io::ParseSdp(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!sdp) return 0;
  if (sdp->media.size() > quorvane::io::kMaxSdpMedia) std::abort();
  for (const quorvane::io::SdpMedia& media : sdp->media) {
    if (media.rtpmaps.size() > quorvane::io::kMaxSdpAttributes || media.cryptos.size() > quorvane::io::kMaxSdpAttributes) {
      std::abort();
    }
    for (const quorvane::io::SdpRtpmap& map : media.rtpmaps) {
      if (map.clockRate == 0 || map.channels == 0 || map.payloadType > 127) std::abort();
    }
  }
  return 0;
}
