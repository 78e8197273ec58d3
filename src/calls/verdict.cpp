#include "calls/verdict.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quorvane {
namespace {

using io::CallDirection;
using io::CallKey;
using io::DtmfPath;

constexpr std::array<DtmfPath, 3> kPaths = {DtmfPath::InBand, DtmfPath::Rfc4733, DtmfPath::SipInfo};

std::size_t Slot(DtmfPath path) { return static_cast<std::size_t>(path); }

// Low bit-rate speech codecs model a voice, not two steady sines: through
// G.729 a receiver held to the DTMF standards hears 4 of 16 keys of 50 ms
// at -10 dBm0, through AMR 12.2 kbit/s 14 of 16 (docs/codec-quality.md).
// The other codecs we read carry every key.
bool GarblesTones(const std::string& codec) {
  return codec.starts_with("G729/") || codec.starts_with("AMR/");
}

bool SendsThroughGarblingCodec(const io::Call& call, CallDirection direction) {
  return std::any_of(call.streams.begin(), call.streams.end(), [&](const io::CallStream& stream) {
    return stream.direction == direction && GarblesTones(stream.codec);
  });
}

// One key press as seen on each path.
struct Press {
  char key;
  double time;  // of its first sighting
  std::array<const CallKey*, 3> on{};
};

class Findings {
 public:
  Findings(CallDirection direction, double callStart) : direction_(direction), start_(callStart) {}
  void Add(const char* kind, const std::string& detail, char key, double time) {
    auto it = std::find_if(list_.begin(), list_.end(),
                           [&](const CallFinding& f) { return f.kind == kind && f.detail == detail; });
    if (it == list_.end()) it = list_.insert(list_.end(), CallFinding{kind, direction_, {}, {}, detail});
    it->keys.push_back(key);
    it->times.push_back(time - start_);
  }
  void MoveTo(std::vector<CallFinding>& out) {
    std::stable_sort(list_.begin(), list_.end(),
                     [](const CallFinding& a, const CallFinding& b) { return std::string(a.kind) < b.kind; });
    out.insert(out.end(), list_.begin(), list_.end());
  }

 private:
  CallDirection direction_;
  double start_;
  std::vector<CallFinding> list_;
};

void JudgeDirection(const io::Call& call, CallDirection direction, std::vector<CallFinding>& out) {
  std::vector<const CallKey*> keys;
  for (const CallKey& key : call.keys) {
    if (key.direction == direction) keys.push_back(&key);
  }
  std::stable_sort(keys.begin(), keys.end(), [](const CallKey* a, const CallKey* b) { return a->time < b->time; });
  std::array<bool, 3> inUse{};
  for (const CallKey* key : keys) inUse[Slot(key->path)] = true;

  std::vector<Press> presses;
  std::size_t recent = 0;  // presses before this one are too old to match
  for (const CallKey* key : keys) {
    while (recent < presses.size() && key->time - presses[recent].time > kAlignSeconds) ++recent;
    Press* match = nullptr;
    for (std::size_t i = recent; i < presses.size() && match == nullptr; ++i) {
      if (presses[i].key == key->key && presses[i].on[Slot(key->path)] == nullptr) match = &presses[i];
    }
    if (match == nullptr) match = &presses.emplace_back(Press{key->key, key->time, {}});
    match->on[Slot(key->path)] = key;
  }

  Findings findings(direction, call.start);
  for (const Press& press : presses) {
    for (const DtmfPath path : kPaths) {
      if (inUse[Slot(path)] && press.on[Slot(path)] == nullptr) {
        findings.Add(kKeyMissing, std::string("missing on ") + PathName(path), press.key, press.time);
      }
    }
    const bool events = press.on[Slot(DtmfPath::Rfc4733)] != nullptr;
    if (events && press.on[Slot(DtmfPath::InBand)] != nullptr) {
      findings.Add(kEventsAndAudibleTone, "sent as events and as an audible tone", press.key, press.time);
    }
    if (events && press.on[Slot(DtmfPath::SipInfo)] != nullptr) {
      findings.Add(kEventsAndInfo, "sent as events and as SIP INFO", press.key, press.time);
    }
  }
  for (const CallKey* key : keys) {
    if (key->path != DtmfPath::Rfc4733) continue;
    if (!key->ended) {
      findings.Add(kEventWithoutEnd, "no end packet", key->key, key->time);
    } else if (key->duration && *key->duration < kShortestEvent) {
      char detail[64];
      std::snprintf(detail, sizeof detail, "events shorter than %.0f ms", kShortestEvent * 1000);
      findings.Add(kEventTooShort, detail, key->key, key->time);
    }
  }
  if (call.eventsNegotiated && inUse[Slot(DtmfPath::InBand)] && !inUse[Slot(DtmfPath::Rfc4733)]) {
    for (const CallKey* key : keys) {
      if (key->path == DtmfPath::InBand) {
        findings.Add(kInBandDespiteEvents, "telephone-event agreed in the SDP, keys sent only in-band", key->key,
                     key->time);
      }
    }
  }
  if (SendsThroughGarblingCodec(call, direction)) {
    for (const CallKey* key : keys) {
      if (key->path == DtmfPath::InBand) {
        findings.Add(kInBandThroughLossyCodec, "in-band tones through a codec that does not carry them", key->key,
                     key->time);
      }
    }
  }
  findings.MoveTo(out);
}

}  // namespace

std::vector<CallFinding> JudgeCall(const io::Call& call) {
  std::vector<CallFinding> out;
  JudgeDirection(call, CallDirection::CallerToCallee, out);
  JudgeDirection(call, CallDirection::CalleeToCaller, out);
  return out;
}

const char* PathName(DtmfPath path) {
  switch (path) {
    case DtmfPath::InBand: return "in-band";
    case DtmfPath::Rfc4733: return "rfc4733";
    case DtmfPath::SipInfo: return "sip-info";
  }
  return "";
}

const char* DirectionName(CallDirection direction) {
  return direction == CallDirection::CallerToCallee ? "caller->callee" : "callee->caller";
}

}  // namespace quorvane
