// Caller-ID messages as received: the data-link message types and every
// parameter, decoded from the bytes of one message (type, length, payload,
// checksum). Shared by the robust receiver, the DTMF caller-ID assembler,
// the synthesiser's checks and the command line's JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

enum class CallerIdType { Sdmf, Mdmf, SdmfMwi, MdmfMwi, Dtmf };

inline constexpr std::uint8_t kSdmfType = 0x04;
inline constexpr std::uint8_t kMdmfType = 0x80;
inline constexpr std::uint8_t kSdmfMwiType = 0x06;
inline constexpr std::uint8_t kMdmfMwiType = 0x82;

// Parameter types of the multiple data messages. North American and ETSI
// codings agree on 01-08; the rest are ETSI's, except the call qualifier.
enum CallerIdParameter : std::uint8_t {
  kParamDateTime = 0x01,
  kParamNumber = 0x02,
  kParamDialableNumber = 0x03,      // dialable directory number / called line identity
  kParamNumberAbsent = 0x04,
  kParamCallQualifier = 0x06,       // North American: "L" long distance
  kParamName = 0x07,
  kParamNameAbsent = 0x08,
  kParamVisualIndicator = 0x0B,     // message waiting: 0x00 off, 0xFF on
  kParamCallType = 0x11,
  kParamMessageCount = 0x13,        // network message system status
  kParamRedirectReason = 0x15,      // type of forwarded call
  kParamCallingUserType = 0x16,
  kParamRedirectingNumber = 0x1A,
};

// The type name the JSON uses: "SDMF", "MDMF", "SDMF-MWI", "MDMF-MWI", "DTMF".
const char* CallerIdTypeName(CallerIdType type);

// Whether `byte` opens one of the four FSK message types.
bool IsCallerIdMessageType(std::uint8_t byte);

struct CallerIdDate {
  int month, day, hour, minute;
};

struct CallerIdRawParameter {
  std::uint8_t type;
  std::vector<std::uint8_t> data;
};

struct CallerIdInfo {
  CallerIdType type = CallerIdType::Mdmf;
  std::optional<CallerIdDate> date;
  std::string number;                 // calling number ("" when absent)
  std::string name;
  bool numberWithheld = false, numberUnavailable = false;
  bool nameWithheld = false, nameUnavailable = false;
  std::string dialableNumber;         // parameter 03
  std::string callQualifier;          // parameter 06 ("L": long distance)
  std::optional<int> callType;        // parameter 11
  std::optional<bool> messageWaiting; // SDMF-MWI, or parameter 0B
  std::optional<int> messageCount;    // parameter 13
  std::string redirectingNumber;      // parameter 1A
  std::optional<int> redirectReason;  // parameter 15
  std::optional<int> callingUserType; // parameter 16
  std::vector<CallerIdRawParameter> parameters;  // every parameter as sent, in order
  // DTMF-signalled caller ID only.
  std::string informationCode;        // digits after a D start key
  std::string commonMeaning;          // what the code is commonly documented to mean
};

// Decodes one FSK message: `bytes` holds type, length, payload and checksum,
// exactly. False when the checksum fails or the message is not well formed
// (an unknown type, a parameter running past the payload, a date that is not
// digits, a malformed message-waiting payload).
bool DecodeCallerIdMessage(const std::uint8_t* bytes, std::size_t size, CallerIdInfo& out);

// The meaning of a named call type, redirect reason or calling-user code,
// or "" when the tables do not list it.
const char* CallTypeMeaning(int code);
const char* RedirectReasonMeaning(int code);

}  // namespace quorvane
