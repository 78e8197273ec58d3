#include "io/input_options.h"

namespace quorvane::io {
namespace {

struct FormatName {
  SampleFormat format;
  const char* name;
};
constexpr FormatName kFormats[] = {{SampleFormat::Ulaw, "ulaw"},
                                   {SampleFormat::Alaw, "alaw"},
                                   {SampleFormat::S16le, "s16le"},
                                   {SampleFormat::S16be, "s16be"},
                                   {SampleFormat::F32le, "f32le"}};

}  // namespace

std::optional<SampleFormat> ParseSampleFormat(const std::string& name) {
  for (const FormatName& f : kFormats) {
    if (name == f.name) return f.format;
  }
  return std::nullopt;
}

}  // namespace quorvane::io
