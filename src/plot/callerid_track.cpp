#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>

#include "callerid/exact/fsk_receiver.h"
#include "codec/ulaw.h"
#include "plot/callerid_panel.h"

namespace quorvane::plot {
namespace {

constexpr std::int32_t kReadingCharacter = 3;
// The demodulator reads a character only with this many samples at hand;
// offering one fewer makes it stop right where a character begins.
constexpr std::int32_t kCharacterSamples = 80;
// The receiver demodulates while it holds at least a frame of samples.
constexpr std::int64_t kReceiverMinimum = kUlawFrameBytes;

// Follows the demodulator through the samples exactly as FskReceiver feeds
// it, stopping at each character to note where its bits are sampled.
class Observer {
 public:
  Observer(const std::int16_t* samples, TonePlan plan, CallerIdTrack& track)
      : samples_(samples), span_(track.span), track_(track), receiver_(std::make_unique<FskReceiver>()),
        look_(std::make_unique<FskDemodulator>()) {
    receiver_->Init(ExactReceiverMode(plan));
    receiver_->acceptHook = &Observer::OnAccept;
  }

  // Demodulates what the receiver would once `available` samples were fed.
  void Advance(std::int64_t available) {
    // The hook finds this observer only while it advances.
    receiver_->acceptContext = this;
    AdvanceTo(available);
    receiver_->acceptContext = nullptr;
  }

 private:
  void AdvanceTo(std::int64_t available) {
    FskDemodulator& d = receiver_->demod;
    while (available - position_ >= kReceiverMinimum) {
      // One Demodulate call of the receiver, taken in steps.
      for (;;) {
        const std::int64_t left = available - position_;
        if (d.state == kReadingCharacter) {
          if (left < kCharacterSamples) return;
          ReadCharacter(d, left);
          break;
        }
        if (left == 0) break;
        const auto offered = static_cast<std::int32_t>(std::min<std::int64_t>(left, kCharacterSamples - 1));
        std::int32_t rest = offered;
        std::int32_t character = 0;
        Demodulate(&d, samples_ + position_, &rest, &character);
        Consume(d, offered - rest);
        if (offered == rest) return;  // waits for more samples
        if (d.state == kReadingCharacter) characterStart_ = position_;
      }
    }
  }

  void ReadCharacter(FskDemodulator& d, std::int64_t left) {
    // The bits are sampled on a copy of the state (not of the trace), then
    // the demodulator itself reads the character.
    std::memcpy(look_.get(), &d, offsetof(FskDemodulator, trace));
    const std::int16_t* cursor = samples_ + position_;
    std::int32_t lookCount = kCharacterSamples;
    const int bitCount = d.dataBits + (d.parityMode != 0 ? 1 : 0) + static_cast<int>(d.stopBits);
    for (int i = 0; i < bitCount; ++i) {
      const std::int32_t bit = SampleBit(look_.get(), &cursor, &lookCount);
      const std::int64_t at = (cursor - samples_) - 1;
      if (span_.Contains(at)) track_.bits.push_back({at, bit != 0});
    }
    auto rest = static_cast<std::int32_t>(std::min<std::int64_t>(left, std::numeric_limits<std::int32_t>::max()));
    const std::int32_t offered = rest;
    std::int32_t character = 0;
    Demodulate(&d, samples_ + position_, &rest, &character);
    Consume(d, offered - rest);
    if (position_ > span_.first && characterStart_ < span_.end) {
      track_.characters.push_back({characterStart_, position_, character});
    }
    if (character <= 255) receiver_->DecodeCharacter(character);
  }

  // Moves past `n` demodulated samples, keeping their low-pass output.
  void Consume(const FskDemodulator& d, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
      if (!span_.Contains(position_ + i)) continue;
      const int slot = (d.traceIndex - n + i) & (kFskTraceLength - 1);
      track_.lowPass.push_back(d.trace[2][slot]);
    }
    position_ += n;
  }

  static void OnAccept(void* context, const FskReceiver& receiver) {
    auto* self = static_cast<Observer*>(context);
    if (!self->span_.Contains(self->position_ - 1)) return;
    self->track_.messages.push_back({self->position_, receiver.messageType,
                                     std::vector<std::uint8_t>(receiver.payload, receiver.payload + receiver.payloadPos),
                                     receiver.number, receiver.name, receiver.statusFlags});
  }

  const std::int16_t* samples_;
  TrackSpan span_;
  CallerIdTrack& track_;
  std::unique_ptr<FskReceiver> receiver_;     // its demodulator and message decoder
  std::unique_ptr<FskDemodulator> look_;      // scratch for finding bit positions
  std::int64_t position_ = 0;                 // samples demodulated so far
  std::int64_t characterStart_ = 0;
};

}  // namespace

CallerIdTrack TrackCallerId(const std::int16_t* samples, std::int64_t count, TrackSpan span, TonePlan plan) {
  CallerIdTrack track;
  track.plan = plan;
  track.span = span;
  Observer observer(samples, plan, track);
  // Frame by frame, as the run reads them; nothing a frame past the span matters.
  const std::int64_t frames = count / kUlawFrameBytes;
  for (std::int64_t f = 1; f <= frames; ++f) {
    const std::int64_t available = f * kUlawFrameBytes;
    observer.Advance(available);
    if (available - kUlawFrameBytes >= span.end) break;
  }
  return track;
}

}  // namespace quorvane::plot
