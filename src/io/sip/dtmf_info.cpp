#include "io/sip/dtmf_info.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quorvane::io {
namespace {

// A relay body is a few short lines; reading stops here however long a
// crafted body is.
constexpr std::size_t kMaxBodyRead = 4096;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

char KeyOf(std::string_view value) {
  if (value == "10") return '*';
  if (value == "11") return '#';
  if (value.size() != 1) return 0;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
  if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D')) return c;
  return 0;
}

}  // namespace

std::optional<InfoKey> ParseDtmfInfo(std::string_view contentType, std::string_view body) {
  body = body.substr(0, kMaxBodyRead);
  if (contentType == "application/dtmf") {
    const char key = KeyOf(Trim(body));
    if (key == 0) return std::nullopt;
    return InfoKey{key, std::nullopt};
  }
  if (contentType != "application/dtmf-relay") return std::nullopt;
  InfoKey info;
  while (!body.empty()) {
    const std::size_t end = std::min(body.find('\n'), body.size());
    const std::string_view line = body.substr(0, end);
    body.remove_prefix(std::min(end + 1, body.size()));
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (EqualsIgnoringCase(name, "signal")) {
      info.key = KeyOf(value);
    } else if (EqualsIgnoringCase(name, "duration")) {
      unsigned milliseconds = 0;
      const auto [ptr, error] = std::from_chars(value.data(), value.data() + value.size(), milliseconds);
      if (error == std::errc() && ptr == value.data() + value.size()) info.duration = milliseconds / 1000.0;
    }
  }
  if (info.key == 0) return std::nullopt;
  return info;
}

}  // namespace quorvane::io
