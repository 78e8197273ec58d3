// A call as a capture tells it: the SIP dialog, the RTP streams its SDP
// explains, and every DTMF key it carried, on each of the three paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/stream_sink.h"

namespace quorvane::io {

enum class CallDirection : std::uint8_t { CallerToCallee, CalleeToCaller };
enum class DtmfPath : std::uint8_t { InBand, Rfc4733, SipInfo };
enum class CallOutcome : std::uint8_t { Answered, Rejected, Cancelled, Incomplete };

struct CallKey {
  char key = 0;
  DtmfPath path = DtmfPath::InBand;
  CallDirection direction = CallDirection::CallerToCallee;
  double time = 0;                 // capture seconds
  std::optional<double> duration;  // seconds, where the path tells
  bool ended = true;               // RFC 4733: its end packet was seen
};

struct CallStream {
  RtpStreamInfo rtp;
  CallDirection direction = CallDirection::CallerToCallee;
  std::string codec;               // the audio's rtpmap, "PCMU/8000"; "" before any audio packet
  std::optional<double> firstAudio;  // capture time of its first audio packet
  RtpTotals totals;                // known once the stream ended
};

struct Call {
  std::uint64_t serial = 0;            // order of the calls' starts
  std::optional<std::string> callId;   // nothing: streams no SDP explains
  std::string from;                    // display name and URI; the source address for streams alone
  std::string to;
  double start = 0;                    // capture seconds of the INVITE (or first packet)
  std::optional<double> answered;
  std::optional<double> end;
  CallOutcome outcome = CallOutcome::Incomplete;
  int status = 0;                      // the final error response of a rejected call
  bool eventsNegotiated = false;       // both sides' SDP offered telephone-event
  std::vector<CallStream> streams;
  std::vector<CallKey> keys;
};

// Keys kept per call: far beyond any dialling, a bound against crafted floods.
inline constexpr std::size_t kMaxKeysPerCall = 4096;

inline std::size_t IndexOf(CallDirection direction) { return static_cast<std::size_t>(direction); }

// What a capture's calls are told to, in capture order.
class CallListener {
 public:
  virtual ~CallListener() = default;
  // A sink for the audio of `call.streams[stream]` (8 kHz), or null when
  // nobody listens. The call outlives the sink.
  virtual std::unique_ptr<StreamSink> OpenAudio(Call& call, std::size_t stream) = 0;
  // An RFC 4733 or SIP INFO key the moment it is known (already in call.keys).
  virtual void Key(const Call& call, const CallKey& key) = 0;
  // The call is over: every sink of it has ended.
  virtual void Ended(Call& call) = 0;
};

}  // namespace quorvane::io
