// What every DTMF detector reports: one event per key, with its position in
// samples counted from the first sample the detector was fed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane {

// What the robust detector measured of a key's two tones.
struct DtmfToneMeasures {
  float lowLevel;   // row tone, dBm0
  float highLevel;  // column tone, dBm0
  float twist;      // highLevel - lowLevel, dB
  float snr;        // dual tone (fitted) to everything else over the tone, dB
};

struct DtmfKeyEvent {
  char key;                 // one of "123A456B789C*0#D"
  std::int64_t start;       // exact: first sample of the 20 ms frame that admitted the key;
                            // robust: the tone's first sample
  std::int64_t duration;    // samples from the tone's start to its end; 0 where not measured (exact)
  std::optional<DtmfToneMeasures> measures;  // robust only
};

// Receives each key the moment its detector reports it, in time order.
class DtmfKeySink {
 public:
  virtual void Key(const DtmfKeyEvent& event) = 0;

 protected:
  ~DtmfKeySink() = default;
};

// Keeps every key, for callers that take them all at the end.
class DtmfKeyList final : public DtmfKeySink {
 public:
  void Key(const DtmfKeyEvent& event) override { keys.push_back(event); }
  std::vector<DtmfKeyEvent> keys;
};

}  // namespace quorvane
