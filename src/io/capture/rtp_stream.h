// One RTP stream of a capture on its way to its sink: packets put back in
// sequence order, duplicates dropped, losses counted, timestamp gaps filled
// with silence so times stay true, and telephone events turned into one
// report per key press.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "io/capture/decoded_playout.h"
#include "io/capture/payload_types.h"
#include "io/capture/rtp_packet.h"
#include "io/stream_sink.h"

namespace quorvane::io {

class RtpStream {
 public:
  // Packets held back waiting for a missing one; once more than this many
  // are held, the missing ones are counted lost.
  static constexpr std::size_t kReorderDepth = 32;
  // Packets gathered before playing starts, so that a stream whose first
  // packets arrive swapped still starts at its first sequence number.
  static constexpr std::size_t kStartupHold = 4;
  // The longest timestamp gap filled with silence (60 s at 8 kHz); a
  // longer jump is counted and the stream carries on without it.
  static constexpr std::int64_t kMaxFillSamples = 60 * 8000;
  // Silence filled in a stream stays within a minute plus this many times
  // the audio its packets carried: a real call's silences, even with
  // silence suppression, never come near it, and a crafted capture cannot
  // turn each small packet into a minute of work. A gap past the budget is
  // counted and not filled: the stream's clock moves on.
  static constexpr std::int64_t kFillPerCarriedSample = 20;

  // The sink is opened, through `factory`, when the first packet plays;
  // decoders are set up within the capture's `budget`.
  RtpStream(StreamInfo info, StreamSinkFactory& factory, DecoderBudget& budget);

  // Takes the stream's next packet in arrival order; `kind` is what its
  // payload type carries, `format` its format where known.
  void Add(const RtpPacket& packet, PayloadKind kind, std::shared_ptr<const PayloadFormat> format = nullptr);

  // An SRTP packet of the stream that failed authentication: counted, not played.
  void AuthFailed() { ++totals_.authFailures; }
  // Why the stream's audio cannot be read, when none of it ever is.
  void Unreadable(std::string reason) { unreadable_ = std::move(reason); }

  // Plays out every held packet, reports an unfinished key press and ends
  // the sink with the stream's counts.
  void End();

 private:
  struct Held {
    std::uint32_t timestamp;
    std::uint8_t payloadType;
    PayloadKind kind;
    std::shared_ptr<const PayloadFormat> format;
    std::vector<std::uint8_t> payload;
  };
  struct KeyPress {
    bool open = false;      // an event has been seen
    bool reported = false;  // its end packet has been seen and reported
    std::uint32_t timestamp = 0;
    TelephoneEvent event;
  };

  void Release(bool all);
  void Play(std::uint32_t timestamp, PayloadKind kind, const PayloadFormat* format, Bytes payload);
  void PlayDecoded(std::uint32_t timestamp, const PayloadFormat& format, Bytes payload);
  bool Anchor(std::uint32_t timestamp, std::uint32_t clockRate);
  std::int64_t GapOf(std::uint32_t timestamp);
  void PlayAudio(std::uint32_t timestamp, PayloadKind kind, Bytes payload);
  void PlayEvent(std::uint32_t timestamp, Bytes payload);
  void PushAudio(PayloadKind kind, const std::uint8_t* bytes, std::size_t count);
  void FillSilence(PayloadKind kind, std::int64_t count);
  void ReportPress();
  std::int64_t SampleOf(std::uint32_t timestamp);
  // An event duration in ticks of the audio's clock, as 8 kHz samples.
  std::int64_t DurationOf(std::uint16_t ticks) const { return std::int64_t{ticks} * 8000 / clock_; }
  void Open();

  StreamInfo info_;
  StreamSinkFactory& factory_;
  DecoderBudget& budget_;
  std::unique_ptr<StreamSink> sink_;  // null until opened, or when the factory declined
  bool opened_ = false;
  RtpTotals totals_;

  // Sequence numbers are extended to 64 bits across 16-bit wraps.
  bool seenAny_ = false;
  bool playing_ = false;           // the startup hold is over
  std::int64_t highest_ = 0;       // highest extended sequence number seen
  std::int64_t next_ = 0;          // the next one to play
  std::int64_t firstPlayed_ = 0;   // where playing started
  std::uint64_t playedBehind_ = 0; // bit i: sequence next_-1-i was played
  std::map<std::int64_t, Held> held_;

  // Where the next sample goes: the RTP timestamp it has and its position.
  // Positions and counts are 8 kHz samples; timestamps tick at clock_.
  bool anchored_ = false;
  std::uint32_t clock_ = 8000;
  std::uint32_t nextTimestamp_ = 0;
  std::int64_t written_ = 0;
  std::int64_t carried_ = 0;  // samples the packets carried
  std::int64_t filled_ = 0;   // samples of silence filled in

  DecodedPlayout decoded_;    // payloads other than G.711
  std::string unreadable_;    // why a payload could not be read

  KeyPress press_;
};

}  // namespace quorvane::io
