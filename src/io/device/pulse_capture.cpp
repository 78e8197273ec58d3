#include "io/device/pulse_capture.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include "base/failure.h"
#include "io/device/pulse_server.h"

namespace quorvane::io {
namespace {

// Small fragments, so that a result is printed within a few frames of the
// audio that made it rather than after the server's default of seconds.
constexpr pa_usec_t kFragmentUsec = 20000;

}  // namespace

PulseCapture::~PulseCapture() {
  if (stream_ != nullptr) pa_simple_free(stream_);
}

bool PulseCapture::Open(const std::string& name, std::string* error) {
  name_ = name;
  pa_sample_spec format{PA_SAMPLE_S16NE, 48000, 1};
  pa_channel_map map{};
  bool haveMap = false;
  {
    // The simple API cannot ask what a source delivers, so ask first. When
    // that fails, the open below fails too and says why in its own words.
    PulseServer server;
    PulseSource source;
    if (server.Connect(nullptr) && (!name_.empty() || server.DefaultSourceName(&name_, nullptr)) &&
        server.Source(name_, &source, nullptr)) {
      format.rate = source.format.rate;
      format.channels = source.format.channels;
      map = source.map;
      haveMap = pa_channel_map_compatible(&map, &format) != 0;
    }
  }
  const std::string what = name.empty() ? "the default PulseAudio source" : "PulseAudio source \"" + name + "\"";
  if (pa_sample_spec_valid(&format) == 0) return Fail(error, "cannot open " + what + ": it reports no usable format");
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(-1);
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &format));
  int code = 0;
  stream_ = pa_simple_new(nullptr, "quorvane", PA_STREAM_RECORD, name_.empty() ? nullptr : name_.c_str(), "capture",
                          &format, haveMap ? &map : nullptr, &attr, &code);
  if (stream_ == nullptr) return Fail(error, "cannot open " + what + ": " + pa_strerror(code));
  rate_ = static_cast<int>(format.rate);
  channels_ = format.channels;
  return true;
}

bool PulseCapture::Read(std::int16_t* interleaved, std::size_t frames, std::size_t* got, std::string* error) {
  *got = 0;
  int code = 0;
  const std::size_t bytes = frames * static_cast<std::size_t>(channels_) * sizeof(std::int16_t);
  if (pa_simple_read(stream_, interleaved, bytes, &code) < 0) {
    return Fail(error, std::string("reading the PulseAudio source failed: ") + pa_strerror(code));
  }
  *got = frames;
  return true;
}

}  // namespace quorvane::io
