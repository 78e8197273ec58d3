// Prints what the detection runs report, in every output form.
#pragma once

#include <cstddef>
#include <string>

#include "report/detection_sink.h"

namespace quorvane {

enum class OutputForm { Text, Json, JsonLines };

// What one input's run reports to: its streams as they go, and a failure
// of the input itself. The per-input work writes only here, so inputs run
// side by side can each be given one that holds their output until the
// inputs before them are printed.
class InputReporter : public StreamReporter {
 public:
  virtual void InputFailed(const std::string& file, const std::string& reason) = 0;
  // The input is finished (read whole or failed).
  virtual void InputDone() = 0;
};

// Prints at once, for inputs run one after another: text lines, one JSON
// array written element by element, or JSON Lines flushed as they come.
// Errors also go to stderr, one line each.
class ReportWriter final : public InputReporter {
 public:
  ReportWriter(OutputForm form, std::size_t inputCount) : form_(form), severalInputs_(inputCount > 1) {}

  void Event(const Json& line) override;
  void StreamDone(const StreamOutcome& outcome) override;
  void InputFailed(const std::string& file, const std::string& reason) override;
  void InputDone() override;
  // Closes the JSON array; false when anything failed.
  bool Finish();

 private:
  void Failure(const std::string& subject, const std::string& reason, Json object);
  void JsonElement(const Json& object);
  void TextLine(const std::string& name, const std::string& text);

  OutputForm form_;
  bool severalInputs_;
  bool failed_ = false;
  bool arrayOpen_ = false;
  // One input alone: its first stream's line waits to learn whether it is
  // the only stream (the digits alone) or the first of several (tabbed).
  std::size_t streamsOfInput_ = 0;
  bool holding_ = false;
  std::string heldName_;
  std::string heldText_;
};

}  // namespace quorvane
