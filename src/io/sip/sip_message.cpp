#include "io/sip/sip_message.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quorvane::io {
namespace {

// No header line of a real message comes near this; a longer "header" is
// not SIP and is not searched further.
constexpr std::size_t kMaxHeaderBytes = 16384;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string_view FirstLine(std::string_view bytes) {
  std::string_view line = bytes.substr(0, std::min(bytes.find('\n'), kMaxHeaderBytes));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Where the header ends (the index of the body's first byte), allowing
// bare LF line ends; nothing when the empty line is not there yet.
std::optional<std::size_t> BodyStart(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, kMaxHeaderBytes);
  const std::size_t crlf = head.find("\r\n\r\n");
  const std::size_t lf = head.find("\n\n");
  if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::nullopt;
  if (lf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lf)) return crlf + 4;
  return lf + 2;
}

// The full name of a header field, compact forms (RFC 3261 7.3.3) expanded.
std::string_view FieldName(std::string_view name) {
  if (name.size() == 1) {
    switch (Lower(name[0])) {
      case 'i': return "call-id";
      case 'f': return "from";
      case 't': return "to";
      case 'c': return "content-type";
      case 'l': return "content-length";
      default: return name;
    }
  }
  return name;
}

std::string TagOf(std::string_view field) {
  // The tag is a parameter after the URI; a URI in angle brackets may hold
  // ";tag=" of its own, so look only after it.
  const std::size_t close = field.find('>');
  const std::string_view params = close == std::string_view::npos ? field : field.substr(close);
  for (std::size_t at = 0; (at = params.find(';', at)) != std::string_view::npos; ++at) {
    std::string_view param = Trim(params.substr(at + 1));
    if (param.size() >= 4 && EqualsIgnoringCase(param.substr(0, 4), "tag=")) {
      param.remove_prefix(4);
      return std::string(param.substr(0, param.find_first_of(";, \t")));
    }
  }
  return {};
}

std::optional<std::size_t> ContentLength(std::string_view header) {
  std::optional<std::size_t> length;
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find('\n', at);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(at, end - at);
    at = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = FieldName(Trim(line.substr(0, colon)));
    if (!EqualsIgnoringCase(name, "content-length")) continue;
    const std::string_view value = Trim(line.substr(colon + 1));
    std::size_t n = 0;
    const auto [ptr, error] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (error == std::errc() && ptr != value.data()) length = n;
  }
  return length;
}

}  // namespace

bool LooksLikeSip(std::string_view bytes) {
  const std::string_view line = FirstLine(bytes);
  if (line.starts_with("SIP/2.0 ")) return true;
  if (!line.ends_with(" SIP/2.0")) return false;
  // A request line starts with its method: upper-case letters.
  return !line.empty() && std::isupper(static_cast<unsigned char>(line[0])) != 0;
}

std::optional<std::size_t> SipMessageLength(std::string_view stream) {
  const std::optional<std::size_t> bodyStart = BodyStart(stream);
  if (!bodyStart) return std::nullopt;
  // Over a stream, Content-Length is mandatory (RFC 3261 18.3); without it
  // the message is taken to have no body.
  const std::size_t length = *bodyStart + ContentLength(stream.substr(0, *bodyStart)).value_or(0);
  if (length > stream.size()) return std::nullopt;
  return length;
}

std::optional<SipMessage> ParseSipMessage(std::string_view bytes) {
  if (!LooksLikeSip(bytes)) return std::nullopt;
  SipMessage message;
  const std::string_view startLine = FirstLine(bytes);
  if (startLine.starts_with("SIP/2.0 ")) {
    const std::string_view code = startLine.substr(8, 3);
    const auto [ptr, error] = std::from_chars(code.data(), code.data() + code.size(), message.status);
    if (error != std::errc() || ptr != code.data() + 3 || message.status < 100 || message.status > 699) return std::nullopt;
  } else {
    message.request = true;
    message.method = std::string(startLine.substr(0, startLine.find(' ')));
  }

  const std::optional<std::size_t> bodyStart = BodyStart(bytes);
  const std::string_view header = bytes.substr(0, bodyStart.value_or(std::min(bytes.size(), kMaxHeaderBytes)));
  bool haveCSeq = false;
  std::size_t at = bytes.find('\n');
  while (at != std::string_view::npos && at < header.size()) {
    ++at;
    std::size_t end = header.find('\n', at);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(at, end - at);
    at = end;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = FieldName(Trim(line.substr(0, colon)));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (EqualsIgnoringCase(name, "call-id")) {
      message.callId = std::string(value);
    } else if (EqualsIgnoringCase(name, "from")) {
      message.from = std::string(value);
      message.fromTag = TagOf(value);
    } else if (EqualsIgnoringCase(name, "to")) {
      message.to = std::string(value);
      message.toTag = TagOf(value);
    } else if (EqualsIgnoringCase(name, "cseq")) {
      // "CSeq: 1 INVITE": a response's method is the request's it answers.
      const std::string_view method = Trim(value.substr(std::min(value.size(), value.find(' '))));
      std::from_chars(value.data(), value.data() + value.size(), message.cseq);
      if (!message.request) message.method = std::string(method);
      haveCSeq = !method.empty();
    } else if (EqualsIgnoringCase(name, "content-type")) {
      const std::string_view type = Trim(value.substr(0, value.find(';')));
      message.contentType.resize(type.size());
      std::transform(type.begin(), type.end(), message.contentType.begin(), Lower);
    }
  }
  if (message.callId.empty() || !haveCSeq || message.method.empty()) return std::nullopt;
  if (bodyStart) {
    message.body = bytes.substr(*bodyStart);
    if (const std::optional<std::size_t> length = ContentLength(header)) {
      message.body = message.body.substr(0, *length);
    }
  }
  return message;
}

std::string PartyOf(std::string_view field) {
  field = Trim(field);
  const std::size_t open = field.find('<');
  if (open == std::string_view::npos) return std::string(Trim(field.substr(0, field.find(';'))));
  const std::size_t close = field.find('>', open);
  const std::string_view uri = field.substr(open, close == std::string_view::npos ? std::string_view::npos : close - open + 1);
  std::string_view name = Trim(field.substr(0, open));
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  if (name.empty()) return std::string(uri);
  return std::string(name) + " " + std::string(uri);
}

}  // namespace quorvane::io
