#include "report/report_writer.h"

#include <cstdio>

#include "report/output_lines.h"

namespace quorvane {
namespace {

// A field decoded from a damaged line can hold bytes that are not UTF-8
// (the exact receiver passes them on as the line sent them): JSON shows
// each as U+FFFD instead of the whole run stopping. Text output keeps them.
std::string JsonText(const Json& object) { return object.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace

void ReportWriter::Event(const Json& line) {
  if (form_ == OutputForm::JsonLines) PrintLine(JsonText(line));
}

void ReportWriter::StreamDone(const StreamOutcome& outcome) {
  ++streamsOfInput_;
  if (holding_) {
    PrintLine(heldName_ + "\t" + heldText_);
    holding_ = false;
  }
  if (!outcome.failure.empty()) {
    Failure(outcome.name, outcome.failure, outcome.ids);
    return;
  }
  Json object = outcome.ids;
  switch (form_) {
    case OutputForm::Text: TextLine(outcome.name, outcome.text); return;
    case OutputForm::JsonLines:
      object["done"] = true;
      object.update(outcome.totals);
      PrintLine(JsonText(object));
      return;
    case OutputForm::Json:
      object.update(outcome.totals);
      if (outcome.events.is_array()) object[outcome.eventsKey] = outcome.events;
      JsonElement(object);
      return;
  }
}

void ReportWriter::InputFailed(const std::string& file, const std::string& reason) {
  Failure(file, reason, Json{{"file", file}});
}

void ReportWriter::InputDone() {
  if (holding_) PrintLine(heldText_);
  holding_ = false;
  streamsOfInput_ = 0;
}

bool ReportWriter::Finish() {
  if (form_ == OutputForm::Json) PrintLine(arrayOpen_ ? "]" : "[]");
  return !failed_;
}

void ReportWriter::Failure(const std::string& subject, const std::string& reason, Json object) {
  failed_ = true;
  PrintError(subject, reason);
  object["error"] = reason;
  if (form_ == OutputForm::JsonLines) PrintLine(JsonText(object));
  if (form_ == OutputForm::Json) JsonElement(object);
}

void ReportWriter::JsonElement(const Json& object) {
  std::fputs(arrayOpen_ ? "," : "[", stdout);
  arrayOpen_ = true;
  const std::string text = JsonText(object);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void ReportWriter::TextLine(const std::string& name, const std::string& text) {
  if (!severalInputs_ && streamsOfInput_ == 1) {
    holding_ = true;
    heldName_ = name;
    heldText_ = text;
    return;
  }
  PrintLine(name + "\t" + text);
}

}  // namespace quorvane
