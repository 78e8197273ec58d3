// What every caller-ID receiver reports: accepted messages and alerting
// tones, with positions in samples counted from the first sample fed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "callerid/alert_tone.h"
#include "callerid/message.h"
#include "callerid/tone_plan.h"

namespace quorvane {

struct CallerIdMessageEvent {
  std::int64_t start;  // exact: first sample of the 20 ms frame in which the message completed;
                       // robust: leading edge of the type character's start bit
  std::int64_t end;    // exact: as start; robust: where the checksum character (or end key) ended
  TonePlan plan;       // Bell202 or V23; Auto for caller ID sent as DTMF digits
  std::optional<double> levelDbm0;  // robust only: the FSK tone, or the keys' row tones
  CallerIdInfo info;
};

// Receives each message the moment its receiver accepts it; alerting tones
// once they have ended.
class CallerIdSink {
 public:
  virtual void Message(const CallerIdMessageEvent& event) = 0;
  virtual void Alert(const AlertTone& alert) { (void)alert; }

 protected:
  ~CallerIdSink() = default;
};

// Keeps every message and alert, for callers that take them all at the end.
class CallerIdEventList final : public CallerIdSink {
 public:
  void Message(const CallerIdMessageEvent& event) override { messages.push_back(event); }
  void Alert(const AlertTone& alert) override { alerts.push_back(alert); }
  std::vector<CallerIdMessageEvent> messages;
  std::vector<AlertTone> alerts;
};

}  // namespace quorvane
