// The JSON members of each typed event, as every JSON output shows them;
// times in seconds from the start of the stream.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

#include "callerid/events.h"
#include "detect/stream_detector.h"
#include "dtmf/key_event.h"
#include "io/stream_sink.h"

namespace quorvane {

using Json = nlohmann::ordered_json;

inline double SampleSeconds(std::int64_t position) { return static_cast<double>(position) / 8000.0; }

// "digit", "time", "source": "audio", and for the robust detector
// "duration" and its tone measures.
Json KeyJson(const DtmfKeyEvent& event);
// An RFC 4733 key press: "digit", "time", "duration", "source": "rtp-event".
Json TelephoneEventJson(const io::TelephoneEvent& event);
// The exact receiver's fields, or every decoded field of the robust one.
Json MessageJson(const CallerIdMessageEvent& event, DetectorProfile profile);
Json AlertJson(const AlertTone& alert);

}  // namespace quorvane
