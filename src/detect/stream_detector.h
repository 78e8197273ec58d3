// The seam between one stream's audio and a detector profile: the command
// line runs every stream through one StreamDetector of the chosen profile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace quorvane {

enum class DetectorProfile { Exact, Robust };

using Json = nlohmann::ordered_json;

// Receives each event the moment it is found: its own JSON members
// ("digit", "time", ... for DTMF; "time", "type", "number", ... for caller ID).
using DetectedEventHook = std::function<void(const Json& event)>;

struct DetectorSettings {
  std::int64_t startSample = 0;  // samples skipped before the first one the detector gets
  bool v23 = false;              // caller ID: V.23 tones instead of Bell 202
  bool bell = false;             // caller ID: Bell 202 asked for outright (the robust profile otherwise finds the plan)
};

class StreamDetector {
 public:
  virtual ~StreamDetector() = default;
  // 8 kHz 16-bit samples in stream order, any number per call.
  virtual void Samples(const std::int16_t* samples, std::size_t count) = 0;
  // The stream is complete: report what is still pending.
  virtual void Finish() = 0;
  // Why the stream gave no answer at all ("" when it did).
  virtual std::string Failure() const = 0;
  // The stream's answer as its text line shows it: the digits, or the number.
  virtual std::string Text() const = 0;
  // The stream's totals for its JSON object ("digits"; "number", ...), and
  // any lists of its own beyond the events ("alerts", "rejected", ...).
  virtual void AddTotals(Json& object) const = 0;
};

using StreamDetectorMaker =
    std::function<std::unique_ptr<StreamDetector>(const DetectorSettings&, DetectedEventHook)>;

}  // namespace quorvane
