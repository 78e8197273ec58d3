#include "io/capture/rtp_stream.h"

#include <algorithm>
#include <array>

#include "codec/alaw.h"

namespace quorvane::io {
namespace {

// A sequence number this far from the expected one means the sender
// started over; following it beats counting thousands of losses.
constexpr std::int64_t kMaxSequenceJump = 3000;
constexpr std::size_t kChunk = 256;

bool IsAudio(PayloadKind kind) { return kind == PayloadKind::Pcmu || kind == PayloadKind::Pcma; }

}  // namespace

RtpStream::RtpStream(StreamInfo info, StreamSinkFactory& factory, DecoderBudget& budget)
    : info_(std::move(info)), factory_(factory), budget_(budget) {}

void RtpStream::Open() {
  if (opened_) return;
  opened_ = true;
  for (const auto& [sequence, held] : held_) {
    if (IsAudio(held.kind) || held.kind == PayloadKind::Decoded) {
      info_.rtp->payloadType = held.payloadType;
      if (held.format) {
        info_.rtp->codec = CodecName(*held.format);
        info_.rtp->decodedRate = DecodedRateOf(*held.format);
      } else {
        info_.rtp->codec = held.kind == PayloadKind::Pcmu ? "PCMU/8000" : "PCMA/8000";
        info_.rtp->decodedRate = 8000;
      }
      break;
    }
  }
  sink_ = factory_.Open(info_);
}

void RtpStream::Add(const RtpPacket& packet, PayloadKind kind, std::shared_ptr<const PayloadFormat> format) {
  std::int64_t sequence = 0;
  if (!seenAny_) {
    seenAny_ = true;
    sequence = std::int64_t{1} << 32 | packet.sequence;  // room below for late packets
    highest_ = sequence;
  } else {
    sequence = highest_ + static_cast<std::int16_t>(packet.sequence - static_cast<std::uint16_t>(highest_));
  }

  if (playing_ && (sequence < next_ - kMaxSequenceJump || sequence > next_ + kMaxSequenceJump)) {
    Release(true);  // the sender restarted its numbering: carry on from here
    playing_ = false;
    highest_ = sequence;
  }
  if (playing_ && sequence < next_) {
    const std::int64_t behind = next_ - 1 - sequence;
    if (behind < 64 && (playedBehind_ >> behind & 1) != 0) {
      ++totals_.duplicates;
      return;
    }
    // Too late to play: it came after we gave up on it.
    ++totals_.reordered;
    ++totals_.packets;
    if (behind < 64 && sequence >= firstPlayed_) {
      playedBehind_ |= std::uint64_t{1} << behind;
      --totals_.lost;
    }
    return;
  }
  if (held_.contains(sequence)) {
    ++totals_.duplicates;
    return;
  }
  if (sequence < highest_) {
    ++totals_.reordered;
  } else {
    highest_ = sequence;
  }
  if (playing_ && sequence == next_ && held_.empty()) {  // the usual case: nothing to copy
    Open();
    Play(packet.timestamp, kind, format.get(), packet.payload);
    playedBehind_ = playedBehind_ << 1 | 1;
    ++next_;
    return;
  }
  held_.emplace(sequence, Held{packet.timestamp, packet.payloadType, kind, std::move(format),
                               {packet.payload.begin(), packet.payload.end()}});
  Release(false);
}

void RtpStream::Release(bool all) {
  if (held_.empty()) return;
  if (!playing_) {
    if (!all && held_.size() < kStartupHold) return;
    playing_ = true;
    next_ = firstPlayed_ = held_.begin()->first;
    playedBehind_ = 0;
  }
  Open();
  while (!held_.empty()) {
    auto first = held_.begin();
    if (first->first != next_) {
      if (!all && held_.size() <= kReorderDepth) return;  // the gap may still fill
      const std::int64_t missing = first->first - next_;
      totals_.lost += missing;
      playedBehind_ = missing >= 64 ? 0 : playedBehind_ << missing;
      next_ = first->first;
    }
    const Held& held = first->second;
    Play(held.timestamp, held.kind, held.format.get(), held.payload);
    playedBehind_ = playedBehind_ << 1 | 1;
    ++next_;
    held_.erase(first);
  }
}

void RtpStream::Play(std::uint32_t timestamp, PayloadKind kind, const PayloadFormat* format, Bytes payload) {
  ++totals_.packets;
  if (IsAudio(kind)) {
    PlayAudio(timestamp, kind, payload);
  } else if (kind == PayloadKind::Decoded && format != nullptr) {
    PlayDecoded(timestamp, *format, payload);
  } else if (kind == PayloadKind::TelephoneEvent || (kind == PayloadKind::Unknown && LooksLikeDtmfEvent(payload))) {
    PlayEvent(timestamp, payload);
  }
}

bool RtpStream::Anchor(std::uint32_t timestamp, std::uint32_t clockRate) {
  if (anchored_ && clockRate == clock_) return false;
  // A new clock (a payload type change to a codec with another one) starts
  // the timing afresh: ticks of two clocks cannot be compared.
  anchored_ = true;
  clock_ = clockRate;
  nextTimestamp_ = timestamp;
  return true;
}

// The gap before a packet, in ticks of clock_: 0 when it is a jump or past
// the silence budget (both counted).
std::int64_t RtpStream::GapOf(std::uint32_t timestamp) {
  const std::int64_t gap = static_cast<std::int32_t>(timestamp - nextTimestamp_);
  const std::int64_t samples = gap * 8000 / clock_;
  if (samples > kMaxFillSamples || samples < -kMaxFillSamples) {
    ++totals_.jumps;  // reported, never filled: the stream's clock moves on
    return 0;
  }
  if (samples > 0 && filled_ + samples > kMaxFillSamples + kFillPerCarriedSample * carried_) {
    ++totals_.gapsCapped;
    return 0;
  }
  return gap;
}

void RtpStream::PlayDecoded(std::uint32_t timestamp, const PayloadFormat& format, Bytes payload) {
  std::string error;
  if (!decoded_.Select(format, sink_.get(), budget_, &error)) {
    unreadable_ = error;
    return;
  }
  const std::int64_t clock = decoded_.ClockRate();
  const std::int64_t rate = decoded_.Rate();
  Anchor(timestamp, static_cast<std::uint32_t>(clock));
  const std::int64_t gap = GapOf(timestamp);
  if (gap > 0) {
    decoded_.Silence(gap * rate / clock, sink_.get());
    written_ += gap * 8000 / clock;
    filled_ += gap * 8000 / clock;
  }
  // The decoder takes every payload, even one wholly in the past, so its
  // state follows the sender's; only the new part is played.
  const std::size_t skip = gap < 0 ? static_cast<std::size_t>(-gap * rate / clock) : 0;
  const std::size_t made = decoded_.Play(payload, skip, sink_.get());
  if (made <= skip) return;
  const std::int64_t fresh = static_cast<std::int64_t>(made - skip) * 8000 / rate;
  written_ += fresh;
  carried_ += fresh;
  nextTimestamp_ = timestamp + static_cast<std::uint32_t>(static_cast<std::int64_t>(made) * clock / rate);
}

void RtpStream::PlayAudio(std::uint32_t timestamp, PayloadKind kind, Bytes payload) {
  if (decoded_.Selected()) decoded_.Flush(sink_.get());
  Anchor(timestamp, 8000);
  const std::int64_t gap = GapOf(timestamp);
  if (gap > 0) FillSilence(kind, gap);
  // A packet overlapping what was already played gives only its new part;
  // one wholly in the past gives nothing and leaves the clock alone.
  const std::size_t overlap = gap < 0 ? std::min(static_cast<std::size_t>(-gap), payload.size()) : 0;
  if (overlap == payload.size() && gap < 0) return;
  PushAudio(kind, payload.data() + overlap, payload.size() - overlap);
  nextTimestamp_ = timestamp + static_cast<std::uint32_t>(payload.size());
}

void RtpStream::PushAudio(PayloadKind kind, const std::uint8_t* bytes, std::size_t count) {
  written_ += static_cast<std::int64_t>(count);
  carried_ += static_cast<std::int64_t>(count);
  if (!sink_) return;
  if (kind == PayloadKind::Pcmu) {
    sink_->Ulaw(bytes, count);
    return;
  }
  std::array<std::int16_t, kChunk> linear;
  for (std::size_t done = 0; done < count; done += kChunk) {
    const std::size_t n = std::min(kChunk, count - done);
    AlawBufferToLinear(bytes + done, linear.data(), n);
    sink_->Linear(linear.data(), n);
  }
}

void RtpStream::FillSilence(PayloadKind kind, std::int64_t count) {
  written_ += count;
  filled_ += count;
  if (!sink_) return;
  static const std::array<std::uint8_t, kChunk> kUlawSilence = [] {
    std::array<std::uint8_t, kChunk> silence;
    silence.fill(0xFF);
    return silence;
  }();
  static const std::array<std::int16_t, kChunk> kLinearSilence{};
  while (count > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count, kChunk));
    if (kind == PayloadKind::Pcmu) {
      sink_->Ulaw(kUlawSilence.data(), n);
    } else {
      sink_->Linear(kLinearSilence.data(), n);
    }
    count -= static_cast<std::int64_t>(n);
  }
}

std::int64_t RtpStream::SampleOf(std::uint32_t timestamp) {
  if (!anchored_) {
    anchored_ = true;
    nextTimestamp_ = timestamp;
  }
  const std::int64_t offset = static_cast<std::int32_t>(timestamp - nextTimestamp_) * std::int64_t{8000} / clock_;
  if (offset > kMaxFillSamples || offset < -kMaxFillSamples) return written_;
  return std::max<std::int64_t>(0, written_ + offset);
}

void RtpStream::PlayEvent(std::uint32_t timestamp, Bytes payload) {
  const std::optional<EventPayload> event = ParseEventPayload(payload);
  if (!event) return;
  const char key = KeyOfEvent(event->event);
  if (key == 0) return;
  // Every packet of one press carries the press's start timestamp; the
  // end packet is sent several times.
  if (press_.open && press_.timestamp == timestamp && press_.event.key == key) {
    if (press_.reported) return;
    press_.event.durationSamples = std::max<std::int64_t>(press_.event.durationSamples, DurationOf(event->duration));
  } else {
    ReportPress();  // a press whose end packets were all lost
    press_ = KeyPress{true, false, timestamp, TelephoneEvent{key, SampleOf(timestamp), DurationOf(event->duration)}};
  }
  if (event->end) ReportPress();
}

void RtpStream::ReportPress() {
  if (!press_.open || press_.reported) return;
  press_.reported = true;
  if (sink_) sink_->Event(press_.event);
}

void RtpStream::End() {
  Release(true);
  Open();
  ReportPress();
  decoded_.Flush(sink_.get());
  if (carried_ == 0 && totals_.authFailures > 0 && unreadable_.empty()) {
    unreadable_ = "every SRTP packet failed authentication: a wrong key";
  }
  if (carried_ == 0) totals_.unread = unreadable_;
  if (sink_) sink_->End(totals_);
}

}  // namespace quorvane::io
