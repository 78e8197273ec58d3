// DigestHa1 and DigestResponse on arbitrary texts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "auth/digest_calc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool hasAlgorithm = input.ConsumeBool();
  const bool hasQop = input.ConsumeBool();
  std::string texts[9];
  for (std::string& t : texts) t = input.ConsumeRandomLengthString(400);
  quorvane::HexDigest ha1;
  quorvane::HexDigest response;
  quorvane::DigestHa1(hasAlgorithm ? texts[0].c_str() : nullptr, texts[1].c_str(), texts[2].c_str(),
                      texts[3].c_str(), texts[4].c_str(), texts[5].c_str(), ha1);
  quorvane::DigestResponse(ha1, texts[4].c_str(), texts[6].c_str(), texts[5].c_str(),
                           hasQop ? texts[7].c_str() : nullptr, texts[8].c_str(), texts[1].c_str(), response);
  for (const char* hex : {static_cast<const char*>(ha1), static_cast<const char*>(response)}) {
    if (std::strlen(hex) != 32 || std::strspn(hex, "0123456789abcdef") != 32) std::abort();
  }
  return 0;
}
