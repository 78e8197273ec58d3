// The calls of a capture judged: the in-band keys found in each stream's
// audio joined to the events and INFO keys, and each call's verdict.
#pragma once

#include <vector>

#include "calls/verdict.h"
#include "detect/stream_detector.h"
#include "io/calls/call.h"

namespace quorvane {

class CallsReporter {
 public:
  virtual ~CallsReporter() = default;
  // One key on any path, the moment it is known.
  virtual void Key(const io::Call& call, const io::CallKey& key) = 0;
  // The call is over; its keys are in time order.
  virtual void CallDone(const io::Call& call, const std::vector<CallFinding>& findings) = 0;
};

class CallAnalysis final : public io::CallListener {
 public:
  CallAnalysis(DetectorProfile profile, CallsReporter& reporter) : profile_(profile), reporter_(reporter) {}
  std::unique_ptr<io::StreamSink> OpenAudio(io::Call& call, std::size_t stream) override;
  void Key(const io::Call& call, const io::CallKey& key) override { reporter_.Key(call, key); }
  void Ended(io::Call& call) override;

 private:
  DetectorProfile profile_;
  CallsReporter& reporter_;
};

}  // namespace quorvane
