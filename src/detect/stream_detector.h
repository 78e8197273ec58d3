// One contract for driving any detector over a stream: the command line,
// the plot and the runs choose a detector by kind and profile, feed it
// 8 kHz samples and receive typed events, with positions counted from the
// start of the stream (skipped samples included).
//
// Every detector below this layer keeps the same shape: a plain, copyable
// state struct; Init(state, config), which leaves it ready; Process(state,
// samples, count, sink) with any count; Finish(state, sink), which flushes
// and never resets; Reset(state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "callerid/events.h"
#include "callerid/tone_plan.h"
#include "dtmf/key_event.h"

namespace quorvane {

enum class DetectorKind { Dtmf, CallerId };

// Exact: the specified detectors, bit for bit. Robust: ours, for real lines.
enum class DetectorProfile { Exact, Robust };

struct DetectorSettings {
  DetectorKind kind = DetectorKind::Dtmf;
  DetectorProfile profile = DetectorProfile::Exact;
  // Caller ID: Auto lets the robust receiver find the plan (the exact one
  // then listens for Bell 202); Bell202 or V23 forces it.
  TonePlan plan = TonePlan::Auto;
  std::int64_t startSample = 0;  // samples skipped before the first one fed, added to every position
  // A capture may open tens of thousands of streams at once. True makes a
  // detector whose state is large only once its stream has carried samples
  // worth an eighth of that state, holding them until then; the events are
  // the same, and memory grows with the audio read, not the streams opened.
  bool deferLargeState = false;
};

// Receives what any detector reports; each kind of event it does not want
// it may leave alone.
class DetectionEvents : public DtmfKeySink, public CallerIdSink {
 public:
  void Key(const DtmfKeyEvent& event) override { (void)event; }
  void Message(const CallerIdMessageEvent& event) override { (void)event; }
  void Alert(const AlertTone& alert) override { (void)alert; }

 protected:
  ~DetectionEvents() = default;
};

class StreamDetector {
 public:
  virtual ~StreamDetector() = default;
  // 8 kHz 16-bit samples in stream order, any number per call.
  virtual void Samples(const std::int16_t* samples, std::size_t count) = 0;
  // The stream is complete: reports what is still pending. False, with the
  // reason, when the stream gave no answer at all (nothing to detect in).
  virtual bool Finish(std::string* error) = 0;
  // Robust caller ID: framed messages that failed their checksum or form.
  virtual std::optional<int> Rejected() const { return std::nullopt; }
};

// The detector `settings` name, reporting to `events` (which must outlive it).
std::unique_ptr<StreamDetector> MakeStreamDetector(const DetectorSettings& settings, DetectionEvents& events);

}  // namespace quorvane
