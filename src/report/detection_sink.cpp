#include "report/detection_sink.h"

#include <cstdio>

#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr std::size_t kExpandBlock = 4096;

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

Json InputJson(const io::InputInfo& input) {
  return Json{{"container", input.container},
              {"encoding", input.encoding},
              {"rate", input.rate},
              {"channels", input.channels}};
}

Json RtpJson(const io::RtpStreamInfo& rtp) {
  Json json{{"ssrc", Hex32(rtp.ssrc)}, {"src", rtp.src}, {"dst", rtp.dst}, {"payloadType", rtp.payloadType}};
  if (!rtp.codec.empty()) {
    json["codec"] = rtp.codec;
    json["decodedRate"] = rtp.decodedRate;
  }
  if (!rtp.srtpSuite.empty()) json["srtp"] = Json{{"suite", rtp.srtpSuite}};
  return json;
}

class DetectionSink final : public io::StreamSink, private DetectionEvents {
 public:
  DetectionSink(const std::string& file, const io::StreamInfo& stream, const DetectionCommand& command,
                StreamReporter& reporter)
      : stream_(stream), command_(command), reporter_(reporter), toSkip_(command.offset) {
    // A capture of many short streams opens a sink per stream: text output
    // spends nothing on JSON it never prints.
    if (command.json) {
      ids_["file"] = file;
      if (stream.channel != 0) ids_["channel"] = stream.channel;
      if (stream.rtp) ids_["stream"] = RtpJson(*stream.rtp);
    }
    if (command.keepEvents) events_ = Json::array();
    DetectorSettings settings = command.settings;
    settings.startSample = command.offset;
    settings.deferLargeState = stream.rtp.has_value();
    detector_ = MakeStreamDetector(settings, *this);
  }

  void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
    std::int16_t samples[kExpandBlock];
    while (count > 0) {
      const std::size_t n = count < kExpandBlock ? count : kExpandBlock;
      for (std::size_t i = 0; i < n; ++i) samples[i] = UlawToLinear(bytes[i]);
      Linear(samples, n);
      bytes += n;
      count -= n;
    }
  }

  void Linear(const std::int16_t* samples, std::size_t count) override {
    if (toSkip_ > 0) {
      const std::size_t skip = count < static_cast<std::size_t>(toSkip_) ? count : static_cast<std::size_t>(toSkip_);
      toSkip_ -= static_cast<std::int64_t>(skip);
      samples += skip;
      count -= skip;
    }
    if (count > 0) detector_->Samples(samples, count);
  }

  void Event(const io::TelephoneEvent& event) override {
    sawTelephoneEvent_ = true;
    if (!command_.telephoneEvents) return;
    telephoneEvents_.push_back(event.key);
    Report(TelephoneEventJson(event));
  }

  void End(const std::optional<io::RtpTotals>& rtp) override {
    StreamOutcome outcome;
    outcome.name = stream_.name;
    // Finishing may report what the detector still held: the text follows it.
    const bool answered = detector_->Finish(&outcome.failure);
    outcome.text = command_.settings.kind == DetectorKind::Dtmf ? digits_ : number_;
    // A stream of telephone events alone, or beside audio in a codec not
    // decoded, is answered by its events: it has no audio to fail on, and
    // its text line gives the keys it pressed.
    if (!answered && stream_.rtp && sawTelephoneEvent_) {
      outcome.failure.clear();
      if (command_.settings.kind == DetectorKind::Dtmf) outcome.text = telephoneEvents_;
    }
    // A stream we could not read at all (no key for its SRTP, say) says why.
    if (rtp && !rtp->unread.empty()) outcome.failure = rtp->unread;
    if (command_.json) Totals(outcome, rtp);
    reporter_.StreamDone(outcome);
  }

 private:
  void Totals(StreamOutcome& outcome, const std::optional<io::RtpTotals>& rtp) {
    outcome.ids = ids_;
    outcome.totals["input"] = InputJson(stream_.input);
    if (stream_.rtp) {
      Json& totals = outcome.totals["stream"] = RtpJson(*stream_.rtp);
      if (rtp) {
        totals["packets"] = rtp->packets;
        totals["lost"] = rtp->lost;
        totals["reordered"] = rtp->reordered;
        totals["duplicates"] = rtp->duplicates;
        totals["jumps"] = rtp->jumps;
        if (rtp->gapsCapped > 0) totals["gapsCapped"] = rtp->gapsCapped;
        if (!stream_.rtp->srtpSuite.empty()) totals["srtp"]["authFailures"] = rtp->authFailures;
      }
    }
    if (command_.settings.kind == DetectorKind::Dtmf) {
      outcome.totals["digits"] = digits_;
    } else {
      outcome.totals["number"] = number_;
      if (const std::optional<int> rejected = detector_->Rejected()) {
        outcome.totals["alerts"] = alerts_;
        outcome.totals["rejected"] = *rejected;
      }
    }
    if (command_.countEventsWhenDone) outcome.totals[command_.eventsKey] = eventCount_;
    if (command_.telephoneEvents && stream_.rtp) outcome.totals["telephoneEvents"] = telephoneEvents_;
    outcome.eventsKey = command_.eventsKey;
    outcome.events = std::move(events_);
  }

  void Key(const DtmfKeyEvent& event) override {
    digits_.push_back(event.key);
    Report(KeyJson(event));
  }

  void Message(const CallerIdMessageEvent& event) override {
    // A redirecting-number string alone leaves the answer to the calling number before it.
    const bool redirectOnly =
        event.info.type == CallerIdType::Dtmf && event.info.number.empty() && event.info.informationCode.empty();
    if (!redirectOnly) number_ = event.info.number;
    Report(MessageJson(event, command_.settings.profile));
  }

  void Alert(const AlertTone& alert) override { alerts_.push_back(AlertJson(alert)); }

  void Report(const Json& event) {
    ++eventCount_;
    if (!command_.json) return;
    if (command_.keepEvents) events_.push_back(event);
    Json line = ids_;
    line.update(event);
    reporter_.Event(line);
  }

  io::StreamInfo stream_;
  const DetectionCommand& command_;
  StreamReporter& reporter_;
  std::int64_t toSkip_;
  Json ids_ = Json::object();
  Json events_;
  std::int64_t eventCount_ = 0;
  std::string telephoneEvents_;
  bool sawTelephoneEvent_ = false;
  std::string digits_;           // the keys found in the audio
  std::string number_;           // the answer of the last message that names one
  Json alerts_ = Json::array();
  std::unique_ptr<StreamDetector> detector_;
};

}  // namespace

std::unique_ptr<io::StreamSink> DetectionSinkFactory::Open(const io::StreamInfo& stream) {
  return std::make_unique<DetectionSink>(file_, stream, command_, reporter_);
}

}  // namespace quorvane
