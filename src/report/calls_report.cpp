#include "report/calls_report.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "report/output_lines.h"

namespace quorvane {
namespace {

using io::Call;
using io::CallKey;

std::string JsonText(const Json& object) { return object.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Times to the millisecond: finer would only show the capture's jitter.
double Milliseconds(double seconds) { return std::round(seconds * 1000.0) / 1000.0; }

std::string IsoTime(double seconds) {
  const double whole = std::floor(seconds);
  const std::time_t t = static_cast<std::time_t>(whole);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[96];
  const int ms = std::min(999, static_cast<int>(std::lround((seconds - whole) * 1000.0)));
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, ms);
  return text;
}

Json OptionalTime(const std::optional<double>& seconds) { return seconds ? Json(IsoTime(*seconds)) : Json(nullptr); }

const char* OutcomeName(const Call& call) {
  switch (call.outcome) {
    case io::CallOutcome::Answered: return "answered";
    case io::CallOutcome::Rejected: return "rejected";
    case io::CallOutcome::Cancelled: return "cancelled";
    case io::CallOutcome::Incomplete: return "incomplete";
  }
  return "";
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

Json CallIdJson(const Call& call) { return call.callId ? Json(*call.callId) : Json(nullptr); }

std::string Codecs(const Call& call) {
  std::string codecs;
  for (const io::CallStream& stream : call.streams) {
    if (stream.codec.empty() || codecs.find(stream.codec) != std::string::npos) continue;
    if (!codecs.empty()) codecs += ",";
    codecs += stream.codec;
  }
  return codecs.empty() ? "-" : codecs;
}

}  // namespace

Json CallKeyJson(const Call& call, const CallKey& key) {
  Json object{{"callId", CallIdJson(call)},
              {"key", std::string(1, key.key)},
              {"path", PathName(key.path)},
              {"direction", DirectionName(key.direction)},
              {"time", Milliseconds(key.time - call.start)}};
  if (key.duration) object["duration"] = Milliseconds(*key.duration);
  return object;
}

Json CallJson(const Call& call, const std::vector<CallFinding>& findings) {
  Json object{{"callId", CallIdJson(call)}, {"from", call.from}, {"to", call.to}, {"start", IsoTime(call.start)},
              {"answered", OptionalTime(call.answered)}, {"end", OptionalTime(call.end)}};
  object["outcome"] = OutcomeName(call);
  if (call.outcome == io::CallOutcome::Rejected) object["status"] = call.status;
  Json streams = Json::array();
  for (const io::CallStream& stream : call.streams) {
    Json s{{"ssrc", Hex32(stream.rtp.ssrc)}, {"src", stream.rtp.src}, {"dst", stream.rtp.dst},
           {"direction", DirectionName(stream.direction)}};
    s["codec"] = stream.codec.empty() ? Json(nullptr) : Json(stream.codec);
    s["payloadType"] = stream.rtp.payloadType;
    s["packets"] = stream.totals.packets;
    s["lost"] = stream.totals.lost;
    s["reordered"] = stream.totals.reordered;
    s["duplicates"] = stream.totals.duplicates;
    if (!stream.rtp.srtpSuite.empty()) {
      s["srtp"] = Json{{"suite", stream.rtp.srtpSuite}, {"authFailures", stream.totals.authFailures}};
    }
    if (!stream.totals.unread.empty()) s["error"] = stream.totals.unread;
    streams.push_back(std::move(s));
  }
  object["streams"] = std::move(streams);
  Json keys = Json::array();
  for (const CallKey& key : call.keys) {
    Json k = CallKeyJson(call, key);
    k.erase("callId");
    if (key.path == io::DtmfPath::Rfc4733 && !key.ended) k["ended"] = false;
    keys.push_back(std::move(k));
  }
  object["keys"] = std::move(keys);
  Json list = Json::array();
  for (const CallFinding& finding : findings) {
    Json times = Json::array();
    for (const double time : finding.times) times.push_back(Milliseconds(time));
    list.push_back(Json{{"kind", finding.kind},
                        {"direction", DirectionName(finding.direction)},
                        {"keys", finding.keys},
                        {"times", std::move(times)},
                        {"detail", finding.detail}});
  }
  object["findings"] = std::move(list);
  object["agree"] = findings.empty();
  return object;
}

std::string CallText(const Call& call, const std::vector<CallFinding>& findings) {
  std::string text = IsoTime(call.start) + "  " + (call.callId ? *call.callId : "-") + "  " + call.from + " -> " +
                     call.to + "  " + OutcomeName(call);
  // Appended piece by piece: an optimised build warns falsely on `" " + std::to_string(...)`.
  if (call.outcome == io::CallOutcome::Rejected) text.append(" ").append(std::to_string(call.status));
  text.append("  ").append(Codecs(call));
  for (const io::CallStream& stream : call.streams) {
    if (stream.totals.unread.empty()) continue;
    text.append("\n  stream ").append(Hex32(stream.rtp.ssrc)).append(" ").append(stream.rtp.src).append(" -> ");
    text.append(stream.rtp.dst).append(" unread: ").append(stream.totals.unread);
  }
  for (const io::CallDirection direction : {io::CallDirection::CallerToCallee, io::CallDirection::CalleeToCaller}) {
    text.append("\n  ").append(DirectionName(direction));
    for (const io::DtmfPath path : {io::DtmfPath::InBand, io::DtmfPath::Rfc4733, io::DtmfPath::SipInfo}) {
      std::string keys;
      for (const CallKey& key : call.keys) {
        if (key.direction == direction && key.path == path) keys.push_back(key.key);
      }
      text.append("  ").append(PathName(path)).append(": ").append(keys.empty() ? "-" : keys);
    }
    std::string verdict;
    for (const CallFinding& finding : findings) {
      if (finding.direction != direction) continue;
      verdict.append(verdict.empty() ? "" : ", ").append(finding.kind).append(" ").append(finding.keys);
      if (finding.kind == std::string_view(kKeyMissing)) verdict.append(" (").append(finding.detail).append(")");
    }
    text.append("  ").append(verdict.empty() ? std::string("agree") : verdict);
  }
  return text;
}

void CallsWriter::InputFailed(const std::string& file, const std::string& reason) {
  failed_ = true;
  Emit(Item::Error, file + "\n" + reason);
  const Json object{{"file", file}, {"error", reason}};
  if (form_ == OutputForm::JsonLines) Emit(Item::Line, JsonText(object));
  if (form_ == OutputForm::Json) Emit(Item::Element, JsonText(object));
}

void CallsWriter::Key(const Call& call, const CallKey& key) {
  if (form_ != OutputForm::JsonLines) return;
  Json line{{"file", file_}};
  line.update(CallKeyJson(call, key));
  Emit(Item::Line, JsonText(line));
}

void CallsWriter::CallDone(const Call& call, const std::vector<CallFinding>& findings) {
  if (form_ == OutputForm::Text) {
    Emit(Item::Line, CallText(call, findings));
    return;
  }
  Json object{{"file", file_}};
  object.update(CallJson(call, findings));
  if (form_ == OutputForm::JsonLines) {
    object["done"] = true;
    Emit(Item::Line, JsonText(object));
  } else {
    Emit(Item::Element, JsonText(object));
  }
}

bool CallsWriter::Finish() {
  if (form_ == OutputForm::Json) PrintLine(arrayOpen_ ? "]" : "[]");
  return !failed_;
}

void CallsWriter::Replay(CallsWriter& to) {
  for (auto& [item, text] : recorded_) {
    if (item == Item::Error) to.failed_ = true;
    to.Emit(item, std::move(text));
  }
  recorded_.clear();
}

void CallsWriter::Emit(Item item, std::string text) {
  if (record_) {
    recorded_.emplace_back(item, std::move(text));
    return;
  }
  switch (item) {
    case Item::Line: PrintLine(text); return;
    case Item::Element: JsonElement(text); return;
    case Item::Error: {
      const std::size_t newline = text.find('\n');
      PrintError(text.substr(0, newline), text.substr(newline + 1));
      return;
    }
  }
}

void CallsWriter::JsonElement(const std::string& text) {
  std::fputs(arrayOpen_ ? "," : "[", stdout);
  arrayOpen_ = true;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace quorvane
