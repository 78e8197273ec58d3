// What the input layer hands the detection runs: one or more streams of
// 8 kHz audio, each pushed in order into a sink of its own, so no stream's
// whole audio is ever held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quorvane::io {

// How an input was stored (the JSON "input" key).
struct InputInfo {
  std::string container;  // "raw", "wav", "rf64", "aiff", "au", "caf", "flac", "ogg", "pcap", "pcapng"
  std::string encoding;   // "ulaw", "alaw", "pcm8", "pcm16", "pcm24", "pcm32", "float", "double",
                          // "ima-adpcm", "ms-adpcm", "gsm610", "vorbis", "rtp"
  int rate = 8000;        // samples per second as stored
  int channels = 1;
};

// One RTP stream of a capture: one SSRC on one UDP address pair.
struct RtpStreamInfo {
  std::uint32_t ssrc = 0;
  std::string src;        // "192.0.2.1:4000", "[2001:db8::1]:4000"
  std::string dst;
  int payloadType = -1;   // the audio payload type (0 PCMU, 8 PCMA, or a dynamic one)
  std::string codec;      // as the rtpmap names it, "PCMU/8000", "opus/48000/2"; "" when no audio
  int decodedRate = 0;    // samples per second its decoder gives, before resampling to 8 kHz
  std::string srtpSuite;  // the SRTP crypto suite it was decrypted with, "" for plain RTP
};

// What a capture reader counted for one RTP stream, known at its end.
struct RtpTotals {
  std::int64_t packets = 0;    // audio and event packets kept (duplicates not counted)
  std::int64_t lost = 0;       // sequence numbers never seen
  std::int64_t reordered = 0;  // packets that arrived after a later one
  std::int64_t duplicates = 0; // copies dropped
  std::int64_t jumps = 0;      // timestamp jumps of more than 60 s, reported, never filled
  std::int64_t gapsCapped = 0; // gaps past the stream's silence budget, reported, never filled
  std::int64_t authFailures = 0; // SRTP packets that failed authentication, never decoded
  std::string unread;          // why none of its audio could be read (no key, no decoder), else ""
};

struct StreamInfo {
  std::string name;  // PATH, PATH#N (channel N, 1-based) or PATH@0xSSRC
  int channel = 0;   // 1-based channel of a multi-channel input, else 0
  InputInfo input;
  std::optional<RtpStreamInfo> rtp;
};

// An RFC 4733 telephone event: one per key press, however many end packets
// were retransmitted. Positions are in samples from the stream's start.
struct TelephoneEvent {
  char key = 0;                 // 0-9, *, #, A-D
  std::int64_t startSample = 0;
  std::int64_t durationSamples = 0;
};

// Receives one stream, sample by sample in time order, from its first
// sample. A stream may mix Ulaw and Linear calls (an RTP stream that
// switches codec); sinks expand mu-law with the shared table, which is
// exactly what the exact detectors have always done with .pcm files.
class StreamSink {
 public:
  virtual ~StreamSink() = default;
  // 8 kHz mu-law bytes exactly as stored (headerless mu-law, 8 kHz mu-law
  // containers, PCMU payloads).
  virtual void Ulaw(const std::uint8_t* bytes, std::size_t count) = 0;
  // 8 kHz 16-bit linear samples (every other input).
  virtual void Linear(const std::int16_t* samples, std::size_t count) = 0;
  virtual void Event(const TelephoneEvent& event) { (void)event; }
  // The stream is complete; `rtp` holds the counts of a capture's stream.
  virtual void End(const std::optional<RtpTotals>& rtp) = 0;
};

// Opens a sink for every stream as the input reveals it.
class StreamSinkFactory {
 public:
  virtual ~StreamSinkFactory() = default;
  virtual std::unique_ptr<StreamSink> Open(const StreamInfo& stream) = 0;
  // A sink whose Linear takes samples at `rate`: Open's sink behind a
  // resampler to 8 kHz, which this default runs in the caller's thread.
  virtual std::unique_ptr<StreamSink> OpenAtRate(const StreamInfo& stream, int rate);
};

}  // namespace quorvane::io
