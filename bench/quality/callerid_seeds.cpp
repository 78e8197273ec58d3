// How often the robust caller-ID receiver misses a message, over many more
// noise seeds than the report's rows: the library in one process, so a
// thousand recordings take a second. For tuning the receiver; the report
// (callerid.py) stays the measure.
//
// Usage: quorvane_callerid_seeds SNR_DB SEEDS [--v23] [--idle-bits N] [--freq-offset PERCENT] [--message-delay BITS]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "callerid/synth.h"
#include "callerid/robust/receiver.h"

namespace {

using namespace quorvane;

bool Complete(const std::vector<std::int16_t>& samples, bool v23) {
  CallerIdEventList seen;
  auto receiver = std::make_unique<RobustCallerIdReceiver>();
  RobustCallerIdInit(*receiver, {});
  RobustCallerIdProcess(*receiver, samples.data(), samples.size(), seen);
  RobustCallerIdFinish(*receiver, seen);
  if (seen.messages.size() != 1) return false;
  const CallerIdMessageEvent& m = seen.messages[0];
  return m.info.number == "5551234567" && m.info.name == "QUORVANE TEST" &&
         m.plan == (v23 ? TonePlan::V23 : TonePlan::Bell202);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s SNR_DB SEEDS [--v23] [--idle-bits N] [--freq-offset PERCENT] [--message-delay BITS]\n", argv[0]);
    return 2;
  }
  CallerIdSynthOptions o;
  o.number = "5551234567";
  o.name = "QUORVANE TEST";
  o.snrDb = std::atof(argv[1]);
  const int seeds = std::atoi(argv[2]);
  for (int i = 3; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--v23")) {
      o.plan = TonePlan::V23;
    } else if (!std::strcmp(argv[i], "--idle-bits") && i + 1 < argc) {
      o.idleBits = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--freq-offset") && i + 1 < argc) {
      o.freqOffsetPercent = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--message-delay") && i + 1 < argc) {
      o.messageDelayBits = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  std::vector<int> missed;
  for (int seed = 1; seed <= seeds; ++seed) {
    o.seed = static_cast<std::uint64_t>(seed);
    std::string error;
    std::vector<std::int16_t> samples;
  CallerIdSamples(o, &samples, &error);
    if (!error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 2;
    }
    if (Complete(samples, o.plan == TonePlan::V23)) continue;
    missed.push_back(seed);
  }
  std::printf("%zu of %d messages missed%s", missed.size(), seeds, missed.empty() ? "" : "; seeds:");
  for (int seed : missed) std::printf(" %d", seed);
  std::printf("\n");
  return 0;
}
