// The SIP pieces the calls view stands on: INFO bodies, framing over TCP,
// the parties of From and To.
#include <gtest/gtest.h>

#include "io/sip/dtmf_info.h"
#include "io/sip/sip_message.h"

namespace quorvane::io {
namespace {

TEST(DtmfInfo, BodiesAsGatewaysSendThem) {
  struct Case {
    const char* type;
    const char* body;
    char key;  // 0: none
    double duration;  // -1: none
  } cases[] = {
      {"application/dtmf-relay", "Signal=5\r\nDuration=160\r\n", '5', 0.16},
      {"application/dtmf-relay", "signal = 11\r\nduration = 250", '#', 0.25},
      {"application/dtmf-relay", "SIGNAL=10\nDURATION=100", '*', 0.1},
      {"application/dtmf-relay", "Signal= d", 'D', -1},
      {"application/dtmf-relay", "Signal=12\r\nDuration=100\r\n", 0, -1},
      {"application/dtmf-relay", "Duration=100\r\n", 0, -1},
      {"application/dtmf-relay", "Signal=3\r\nDuration=-5\r\n", '3', -1},
      {"application/dtmf", " 7 \r\n", '7', -1},
      {"application/dtmf", "77", 0, -1},
      {"text/plain", "Signal=5", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const std::optional<InfoKey> info = ParseDtmfInfo(c.type, c.body);
    ASSERT_EQ(info.has_value(), c.key != 0);
    if (!info) continue;
    EXPECT_EQ(info->key, c.key);
    EXPECT_EQ(info->duration.value_or(-1), c.duration);
  }
}

TEST(SipMessage, FramingOverAStream) {
  const std::string first = "BYE sip:b@y SIP/2.0\r\ni: x\r\nCSeq: 2 BYE\r\nl: 5\r\n\r\nhello";
  const std::string second = "SIP/2.0 200 OK\nCall-ID: x\nCSeq: 2 BYE\n\n";
  struct Case {
    std::string stream;
    std::optional<std::size_t> length;
  } cases[] = {
      {first + second, first.size()},
      {second + first, second.size()},
      {first.substr(0, first.size() - 1), std::nullopt},  // body incomplete
      {first.substr(0, 20), std::nullopt},                // header incomplete
  };
  for (const Case& c : cases) EXPECT_EQ(SipMessageLength(c.stream), c.length) << c.stream;
  const std::string both = first + second;  // the message's views point into it
  const std::optional<SipMessage> bye = ParseSipMessage(both);
  ASSERT_TRUE(bye);
  EXPECT_EQ(bye->method, "BYE");
  EXPECT_EQ(bye->cseq, 2u);
  EXPECT_EQ(bye->body, "hello");
  const std::optional<SipMessage> ok = ParseSipMessage(second);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(ok->method, "BYE");
  EXPECT_FALSE(ParseSipMessage("HTTP/1.1 200 OK\r\n\r\n"));
  EXPECT_FALSE(ParseSipMessage("INVITE sip:b@y SIP/2.0\r\nCSeq: 1 INVITE\r\n\r\n"));  // no Call-ID
}

TEST(SipMessage, PartiesOfFromAndTo) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"Alice Smith\" <sip:alice@x.org>;tag=1", "Alice Smith <sip:alice@x.org>"},
      {"Bob <sip:bob@y.org;user=phone>", "Bob <sip:bob@y.org;user=phone>"},
      {"<sip:c@z>", "<sip:c@z>"},
      {"sip:d@w;tag=9", "sip:d@w"},
  };
  for (const auto& [field, party] : cases) EXPECT_EQ(PartyOf(field), party);
}

}  // namespace
}  // namespace quorvane::io
