#include "auth/digest_header.h"

#include <strings.h>

#include <cctype>

#include "base/failure.h"

namespace quorvane {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// RFC 7230 tchar: the characters of a header token.
bool IsTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || (c != 0 && std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A few characters of `text` from `at`, to show where reading stopped.
std::string Excerpt(std::string_view text, std::size_t at) {
  constexpr std::size_t kShown = 20;
  std::string shown(text.substr(at, kShown));
  for (char& c : shown) {
    if (std::isprint(static_cast<unsigned char>(c)) == 0) c = '?';
  }
  return "'" + shown + (text.size() - at > kShown ? "...'" : "'");
}

// Joins folded lines (a line break followed by white space) into one line
// and drops the line breaks that end the text. False when a line break
// does not continue the header.
bool Unfold(std::string_view header, std::string& text, std::string* error) {
  text.clear();
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (!IsBreak(header[i])) {
      text.push_back(header[i]);
      continue;
    }
    std::size_t next = i + 1;
    if (header[i] == '\r' && next < header.size() && header[next] == '\n') ++next;
    if (next < header.size() && IsSpace(header[next])) {
      text.push_back(' ');
    } else if (header.find_first_not_of(" \t\r\n", next) != std::string_view::npos) {
      Fail(error, "a line break that does not continue the header (a folded line starts with white space)");
      return false;
    }
    i = next - 1;
  }
  return true;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Skip() { ++pos_; }
  std::size_t Position() const { return pos_; }
  void Rewind(std::size_t pos) { pos_ = pos; }
  std::string Here() const { return Excerpt(text_, pos_); }

  std::string_view Token() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsTokenChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A bare value: up to white space or a comma. Servers take base64 nonces
  // and the like unquoted too, so this is wider than a token.
  std::string_view BareValue() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != ',' && text_[pos_] != '"') ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A quoted string, the opening quote already seen; false when it never ends.
  bool QuotedString(std::string& value) {
    ++pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (c == '\\') {
        if (pos_ >= text_.size()) return false;
        value.push_back(text_[pos_++]);
      } else {
        value.push_back(c);
      }
    }
    return false;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Leaves the reader after "Authorization:" / "Proxy-Authorization:" and
// the word Digest, where they are given.
bool SkipNameAndScheme(Reader& in, std::string* error) {
  in.SkipSpace();
  std::size_t start = in.Position();
  std::string_view word = in.Token();
  if (!word.empty() && in.Peek() == ':') {
    if (!EqualsIgnoringCase(word, "Authorization") && !EqualsIgnoringCase(word, "Proxy-Authorization")) {
      Fail(error, std::string(word) + ": not an Authorization or Proxy-Authorization header");
      return false;
    }
    in.Skip();
    in.SkipSpace();
    start = in.Position();
    word = in.Token();
  }
  in.SkipSpace();
  if (word.empty() || in.Peek() == '=') {
    in.Rewind(start);  // no scheme: the parameters start here
    return true;
  }
  if (!EqualsIgnoringCase(word, "Digest")) {
    Fail(error, "the authentication scheme is " + std::string(word) + ", not Digest");
    return false;
  }
  return true;
}

}  // namespace

const std::string* DigestCredentials::Find(const std::string& name) const {
  const auto found = parameters.find(name);
  return found == parameters.end() ? nullptr : &found->second;
}

bool ParseDigestCredentials(std::string_view header, DigestCredentials& credentials, std::string* error) {
  credentials.parameters.clear();
  std::string text;
  if (!Unfold(header, text, error)) return false;
  Reader in(text);
  if (!SkipNameAndScheme(in, error)) return false;
  while (true) {
    // Empty list elements (",,") are allowed, as in every header list.
    while (IsSpace(in.Peek()) || in.Peek() == ',') in.Skip();
    if (in.AtEnd()) break;
    const std::string name = Lower(in.Token());
    if (name.empty()) {
      Fail(error, "expected a parameter name at " + in.Here());
      return false;
    }
    in.SkipSpace();
    if (in.Peek() != '=') {
      Fail(error, "parameter " + name + " has no '=' and value");
      return false;
    }
    in.Skip();
    in.SkipSpace();
    std::string value;
    if (in.Peek() == '"') {
      if (!in.QuotedString(value)) {
        Fail(error, "the quoted value of parameter " + name + " never ends");
        return false;
      }
    } else {
      value = in.BareValue();
      if (value.empty()) {
        Fail(error, "parameter " + name + " has no value");
        return false;
      }
    }
    in.SkipSpace();
    if (!in.AtEnd() && in.Peek() != ',') {
      Fail(error, "expected a comma after parameter " + name + ", found " + in.Here());
      return false;
    }
    if (!credentials.parameters.emplace(name, std::move(value)).second) {
      Fail(error, "parameter " + name + " is given twice");
      return false;
    }
  }
  if (credentials.parameters.empty()) {
    Fail(error, "the header holds no parameters");
    return false;
  }
  return true;
}

}  // namespace quorvane
