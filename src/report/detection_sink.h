// One stream of an input through a detector: the StreamSink the input layer
// feeds, and what it tells its reporter, as JSON, as the stream goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "detect/stream_detector.h"
#include "io/stream_sink.h"
#include "report/events_json.h"

namespace quorvane {

// What a detection command runs over each stream and how it reports it.
struct DetectionCommand {
  DetectorSettings settings;  // startSample is filled per stream from `offset`
  std::int64_t offset = 0;    // samples skipped at the start of every stream (below 160)
  const char* eventsKey = "events";  // the JSON list of the stream's events
  bool countEventsWhenDone = false;  // the "done" line counts them under eventsKey
  bool telephoneEvents = false;      // report RFC 4733 key presses beside the audio's digits
  bool keepEvents = false;           // hold the events for the stream's JSON object
  bool json = true;                  // JSON is printed: ids, events and totals are built (text needs none)
};

// A stream's end, in every form the command line prints.
struct StreamOutcome {
  std::string name;     // PATH, PATH#N or PATH@0xSSRC
  std::string failure;  // why the stream gave no answer, else ""
  std::string text;     // the answer of its text line
  Json ids;             // "file", and "channel" or "stream" where they apply
  Json totals;          // "input", the answer and counts, "telephoneEvents"
  std::string eventsKey;  // the JSON list the events go in
  Json events;            // the events, when kept (an array), else null
};

class StreamReporter {
 public:
  virtual ~StreamReporter() = default;
  // One event, with the stream's ids first, the moment it is found.
  virtual void Event(const Json& line) = 0;
  virtual void StreamDone(const StreamOutcome& outcome) = 0;
};

// Opens a DetectionSink for every stream of one input.
class DetectionSinkFactory final : public io::StreamSinkFactory {
 public:
  DetectionSinkFactory(std::string file, const DetectionCommand& command, StreamReporter& reporter)
      : file_(std::move(file)), command_(command), reporter_(reporter) {}
  std::unique_ptr<io::StreamSink> Open(const io::StreamInfo& stream) override;

 private:
  std::string file_;
  const DetectionCommand& command_;
  StreamReporter& reporter_;
};

}  // namespace quorvane
