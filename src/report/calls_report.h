// The calls of captures as the command line prints them: one text block
// per call, a JSON array of call objects, or JSON Lines with each key as
// it is found and each call when it ends.
#pragma once

#include <string>
#include <vector>

#include "calls/call_analysis.h"
#include "report/events_json.h"
#include "report/report_writer.h"

namespace quorvane {

// "callId", "from", "to", "start", "answered", "end" (ISO 8601, UTC),
// "outcome", "status" (rejected calls), "streams", "keys", "findings", "agree".
Json CallJson(const io::Call& call, const std::vector<CallFinding>& findings);
// "callId", "key", "path", "direction", "time" (seconds from the call's start), "duration".
Json CallKeyJson(const io::Call& call, const io::CallKey& key);
// The header line, then one line per direction.
std::string CallText(const io::Call& call, const std::vector<CallFinding>& findings);

// Prints at once, or, made with `record`, keeps what it would print until
// Replay passes it to another writer: inputs run side by side print in
// input order.
class CallsWriter final : public CallsReporter {
 public:
  explicit CallsWriter(OutputForm form, bool record = false) : form_(form), record_(record) {}
  // Calls from here on came from `file`.
  void Input(const std::string& file) { file_ = file; }
  void InputFailed(const std::string& file, const std::string& reason);
  void Key(const io::Call& call, const io::CallKey& key) override;
  void CallDone(const io::Call& call, const std::vector<CallFinding>& findings) override;
  // Closes the JSON array; false when an input failed.
  bool Finish();
  // Prints what this recording writer kept through `to`, and forgets it.
  void Replay(CallsWriter& to);

 private:
  enum class Item { Line, Element, Error };
  void Emit(Item item, std::string text);
  void JsonElement(const std::string& text);

  OutputForm form_;
  bool record_;
  std::vector<std::pair<Item, std::string>> recorded_;
  std::string file_;
  bool failed_ = false;
  bool arrayOpen_ = false;
};

}  // namespace quorvane
