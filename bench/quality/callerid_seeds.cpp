// How often the robust caller-ID receiver misses a message, over many more
// noise seeds than the report's rows: the library in one process, so a
// thousand recordings take a second. For tuning the receiver; the report
// (callerid.py) stays the measure.
// With --list it prints, one line per seed, every message the receiver
// showed (edges, plan, type, number, name, level) and its count of rejected
// messages instead: the receiver's decisions, to compare before and after a
// change that must not alter them (callerid-decisions).
//
// Usage: quorvane_callerid_seeds SNR_DB SEEDS [--v23] [--idle-bits N] [--freq-offset PERCENT] [--message-delay BITS]
//                                [--level DBM0] [--no-noise] [--list]
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

struct Received {
  CallerIdEventList seen;
  int rejected = 0;
};

Received Receive(const std::vector<std::int16_t>& samples) {
  Received out;
  auto receiver = std::make_unique<RobustCallerIdReceiver>();
  RobustCallerIdInit(*receiver, {});
  RobustCallerIdProcess(*receiver, samples.data(), samples.size(), out.seen);
  RobustCallerIdFinish(*receiver, out.seen);
  out.rejected = RobustCallerIdRejected(*receiver);
  return out;
}

bool Complete(const CallerIdEventList& seen, bool v23) {
  if (seen.messages.size() != 1) return false;
  const CallerIdMessageEvent& m = seen.messages[0];
  return m.info.number == "5551234567" && m.info.name == "QUORVANE TEST" &&
         m.plan == (v23 ? TonePlan::V23 : TonePlan::Bell202);
}

void PrintDecisions(int seed, const Received& r) {
  std::printf("%d:", seed);
  for (const CallerIdMessageEvent& m : r.seen.messages) {
    std::printf(" [%lld-%lld %s %s %s \"%s\" %.2f]", static_cast<long long>(m.start), static_cast<long long>(m.end),
                m.plan == TonePlan::V23 ? "v23" : "bell202", CallerIdTypeName(m.info.type), m.info.number.c_str(),
                m.info.name.c_str(), m.levelDbm0.value_or(0.0));
  }
  std::printf(" rejected %d alerts %zu\n", r.rejected, r.seen.alerts.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s SNR_DB SEEDS [--v23] [--idle-bits N] [--freq-offset PERCENT] [--message-delay BITS] [--level DBM0] [--no-noise] [--list]\n", argv[0]);
    return 2;
  }
  CallerIdSynthOptions o;
  o.number = "5551234567";
  o.name = "QUORVANE TEST";
  o.snrDb = std::atof(argv[1]);
  const int seeds = std::atoi(argv[2]);
  bool list = false;
  for (int i = 3; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--v23")) {
      o.plan = TonePlan::V23;
    } else if (!std::strcmp(argv[i], "--idle-bits") && i + 1 < argc) {
      o.idleBits = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--freq-offset") && i + 1 < argc) {
      o.freqOffsetPercent = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--message-delay") && i + 1 < argc) {
      o.messageDelayBits = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--level") && i + 1 < argc) {
      o.levelDbm0 = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--no-noise")) {
      o.snrDb.reset();
    } else if (!std::strcmp(argv[i], "--list")) {
      list = true;
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
    const Received received = Receive(samples);
    if (list) {
      PrintDecisions(seed, received);
      continue;
    }
    if (Complete(received.seen, o.plan == TonePlan::V23)) continue;
    missed.push_back(seed);
  }
  if (list) return 0;
  std::printf("%zu of %d messages missed%s", missed.size(), seeds, missed.empty() ? "" : "; seeds:");
  for (int seed : missed) std::printf(" %d", seed);
  std::printf("\n");
  return 0;
}
