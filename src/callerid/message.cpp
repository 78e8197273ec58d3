#include "callerid/message.h"

namespace quorvane {
namespace {

bool AllDigits(const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
  }
  return true;
}

int TwoDigits(const std::uint8_t* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

CallerIdDate ReadDate(const std::uint8_t* p) {
  return {TwoDigits(p), TwoDigits(p + 2), TwoDigits(p + 4), TwoDigits(p + 6)};
}

// Display text: printable ASCII kept, anything else shown as '?' (the raw
// bytes stay in the parameter list).
std::string Text(const std::uint8_t* p, std::size_t n) {
  std::string s;
  s.reserve(n);
  for (std::size_t i = 0; i < n; ++i) s.push_back(p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '?');
  return s;
}

// 'P' private (withheld); 'O' or anything else unavailable.
void Absence(const std::uint8_t* p, std::size_t n, bool& withheld, bool& unavailable) {
  withheld = n == 1 && p[0] == 'P';
  unavailable = !withheld;
}

bool DecodeSingle(const std::uint8_t* p, std::size_t n, CallerIdInfo& out) {
  if (n < 9 || !AllDigits(p, 8)) return false;
  out.date = ReadDate(p);
  if (n == 9 && (p[8] == 'O' || p[8] == 'P')) {
    Absence(p + 8, 1, out.numberWithheld, out.numberUnavailable);
  } else {
    out.number = Text(p + 8, n - 8);
  }
  return true;
}

// The three bytes of a single message-waiting indication: "BBB" on, "ooo" off.
bool DecodeSingleWaiting(const std::uint8_t* p, std::size_t n, CallerIdInfo& out) {
  if (n != 3 || p[0] != p[1] || p[1] != p[2]) return false;
  if (p[0] == 0x42) out.messageWaiting = true;
  else if (p[0] == 0x6F) out.messageWaiting = false;
  else return false;
  return true;
}

bool DecodeParameter(std::uint8_t type, const std::uint8_t* p, std::size_t n, CallerIdInfo& out) {
  switch (type) {
    case kParamDateTime:
      if (n != 8 || !AllDigits(p, 8)) return false;
      out.date = ReadDate(p);
      break;
    case kParamNumber: out.number = Text(p, n); break;
    case kParamDialableNumber: out.dialableNumber = Text(p, n); break;
    case kParamNumberAbsent: Absence(p, n, out.numberWithheld, out.numberUnavailable); break;
    case kParamCallQualifier: out.callQualifier = Text(p, n); break;
    case kParamName: out.name = Text(p, n); break;
    case kParamNameAbsent: Absence(p, n, out.nameWithheld, out.nameUnavailable); break;
    case kParamVisualIndicator:
      if (n != 1) return false;
      out.messageWaiting = p[0] != 0x00;
      break;
    case kParamCallType:
      if (n != 1) return false;
      out.callType = p[0];
      break;
    case kParamMessageCount:
      if (n != 1) return false;
      out.messageCount = p[0];
      break;
    case kParamRedirectReason:
      if (n != 1) return false;
      out.redirectReason = p[0];
      break;
    case kParamCallingUserType:
      if (n != 1) return false;
      out.callingUserType = p[0];
      break;
    case kParamRedirectingNumber: out.redirectingNumber = Text(p, n); break;
    default: break;  // kept raw only
  }
  return true;
}

bool DecodeMultiple(const std::uint8_t* p, std::size_t n, CallerIdInfo& out) {
  if (n < 2) return false;
  std::size_t i = 0;
  while (i < n) {
    if (i + 2 > n) return false;
    const std::uint8_t type = p[i];
    const std::size_t length = p[i + 1];
    if (i + 2 + length > n) return false;
    if (!DecodeParameter(type, p + i + 2, length, out)) return false;
    out.parameters.push_back({type, std::vector<std::uint8_t>(p + i + 2, p + i + 2 + length)});
    i += 2 + length;
  }
  return true;
}

}  // namespace

const char* CallerIdTypeName(CallerIdType type) {
  switch (type) {
    case CallerIdType::Sdmf: return "SDMF";
    case CallerIdType::Mdmf: return "MDMF";
    case CallerIdType::SdmfMwi: return "SDMF-MWI";
    case CallerIdType::MdmfMwi: return "MDMF-MWI";
    case CallerIdType::Dtmf: return "DTMF";
  }
  return "";
}

bool IsCallerIdMessageType(std::uint8_t b) {
  return b == kSdmfType || b == kMdmfType || b == kSdmfMwiType || b == kMdmfMwiType;
}

bool DecodeCallerIdMessage(const std::uint8_t* bytes, std::size_t size, CallerIdInfo& out) {
  if (size < 3 || !IsCallerIdMessageType(bytes[0]) || bytes[1] + 3u != size) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += bytes[i];
  if ((sum & 0xFF) != 0) return false;
  out = CallerIdInfo{};
  const std::uint8_t* payload = bytes + 2;
  const std::size_t n = bytes[1];
  switch (bytes[0]) {
    case kSdmfType: out.type = CallerIdType::Sdmf; return DecodeSingle(payload, n, out);
    case kSdmfMwiType: out.type = CallerIdType::SdmfMwi; return DecodeSingleWaiting(payload, n, out);
    case kMdmfType: out.type = CallerIdType::Mdmf; break;
    default: out.type = CallerIdType::MdmfMwi; break;
  }
  if (!DecodeMultiple(payload, n, out)) return false;
  // A call-setup message without a number or its absence reads as unavailable, as before.
  if (out.type == CallerIdType::Mdmf) {
    if (out.number.empty() && !out.numberWithheld) out.numberUnavailable = true;
    if (out.name.empty() && !out.nameWithheld) out.nameUnavailable = true;
  }
  return true;
}

const char* CallTypeMeaning(int code) {
  switch (code) {
    case 0x01: return "voice";
    case 0x02: return "ringback when free";
    case 0x03: return "calling name delivery";
    case 0x04: return "call return";
    case 0x05: return "alarm";
    case 0x06: return "download function";
    case 0x07: return "reverse charge";
    case 0x10: return "external";
    case 0x11: return "internal";
    case 0x50: return "monitoring";
    case 0x81: return "message waiting";
    default: return "";
  }
}

const char* RedirectReasonMeaning(int code) {
  switch (code) {
    case 0x00: return "unavailable or unknown";
    case 0x01: return "forwarded on busy";
    case 0x02: return "forwarded on no reply";
    case 0x03: return "unconditional forward";
    case 0x04: return "deflected after alerting";
    case 0x05: return "deflected immediately";
    case 0x06: return "forwarded, mobile unreachable";
    default: return "";
  }
}

}  // namespace quorvane
