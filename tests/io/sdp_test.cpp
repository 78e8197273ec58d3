#include "io/capture/sdp.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvane::testing {
namespace {

// An offer as desk phones send it: a session-level connection, an SRTP
// audio line with two keys, and a media-level direction.
constexpr const char* kOffer =
    "v=0\r\n"
    "o=- 1 1 IN IP4 192.0.2.1\r\n"
    "s=-\r\n"
    "c=IN IP4 192.0.2.1\r\n"
    "t=0 0\r\n"
    "a=sendrecv\r\n"
    "m=audio 4000 RTP/SAVP 9 96 101 x\r\n"
    "a=rtpmap:9 G722/8000\r\n"
    "a=rtpmap:96 opus/48000/2\r\n"
    "a=fmtp:96 useinbandfec=1; maxaveragebitrate=32000\r\n"
    "a=rtpmap:101 telephone-event/16000\r\n"
    "a=fmtp:101 0-15\r\n"
    "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:WVNfX19zZW1jdGwgKCkgewkyMjA7fQp9CnVubGVz|2^20|1:4\r\n"
    "a=crypto:2 AEAD_AES_128_GCM inline:a2V5a2V5a2V5a2V5c2FsdHNhbHRzYWx0\r\n"
    "a=recvonly\r\n"
    "m=video 0 RTP/AVP 31\r\n"
    "m=audio 5000 TCP/RTP/AVP 0\n"
    "c=IN IP6 2001:db8::7\n";

TEST(Sdp, ReadsMediaFormatsKeysAndAddresses) {
  const std::optional<io::SessionDescription> sdp = io::ParseSdp(kOffer);
  ASSERT_TRUE(sdp);
  ASSERT_EQ(sdp->media.size(), 3u);
  const io::SdpMedia& audio = sdp->media[0];
  EXPECT_EQ(audio.port, 4000);
  EXPECT_EQ(audio.protocol, "RTP/SAVP");
  EXPECT_EQ(audio.formats, (std::vector<std::uint8_t>{9, 96, 101}));
  ASSERT_TRUE(audio.connection);
  EXPECT_EQ(audio.connection->family, 4);
  EXPECT_EQ(audio.connection->bytes[3], 1);
  EXPECT_EQ(audio.direction, io::SdpDirection::RecvOnly);
  ASSERT_NE(audio.RtpmapOf(96), nullptr);
  EXPECT_EQ(audio.RtpmapOf(96)->encoding, "opus");
  EXPECT_EQ(audio.RtpmapOf(96)->clockRate, 48000u);
  EXPECT_EQ(audio.RtpmapOf(96)->channels, 2);
  EXPECT_EQ(audio.RtpmapOf(101)->clockRate, 16000u);
  EXPECT_EQ(audio.RtpmapOf(0), nullptr);
  EXPECT_EQ(audio.FmtpOf(96), "useinbandfec=1; maxaveragebitrate=32000");
  ASSERT_EQ(audio.cryptos.size(), 2u);
  EXPECT_EQ(audio.cryptos[0].tag, 1u);
  EXPECT_EQ(audio.cryptos[0].suite, "AES_CM_128_HMAC_SHA1_80");
  EXPECT_EQ(audio.cryptos[0].keySaltBase64, "WVNfX19zZW1jdGwgKCkgewkyMjA7fQp9CnVubGVz");
  EXPECT_EQ(audio.cryptos[1].suite, "AEAD_AES_128_GCM");

  EXPECT_EQ(sdp->media[1].port, 0);  // refused
  EXPECT_EQ(sdp->media[1].direction, io::SdpDirection::SendRecv);
  const io::SdpMedia& tcp = sdp->media[2];
  EXPECT_EQ(tcp.protocol, "TCP/RTP/AVP");
  ASSERT_TRUE(tcp.connection);
  EXPECT_EQ(tcp.connection->family, 6);
  EXPECT_EQ(tcp.connection->bytes[15], 7);
}

TEST(Sdp, SkipsWhatItCannotRead) {
  struct Case {
    const char* name;
    std::string body;
    bool parses;
    std::size_t media;
    std::size_t rtpmaps;  // of the first media
  };
  const Case cases[] = {
      {"not sdp", "INVITE sip:a@b SIP/2.0\r\n", false, 0, 0},
      {"empty", "", false, 0, 0},
      {"no media", "v=0\r\nc=IN IP4 192.0.2.1\r\n", true, 0, 0},
      {"bad port", "v=0\r\nm=audio 70000 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n", true, 0, 0},
      {"bad rtpmaps", "v=0\r\nm=audio 4000 RTP/AVP 0\r\na=rtpmap:200 X/8000\r\na=rtpmap:0 PCMU\r\n"
                      "a=rtpmap:0 PCMU/0\r\na=rtpmap:0 /8000\r\na=rtpmap:0 PCMU/8000/0\r\n",
       true, 1, 0},
      {"bad address", "v=0\r\nc=IN IP4 999.1.1.1\r\nm=audio 4000 RTP/AVP 0\r\n", true, 1, 0},
      {"no inline key", "v=0\r\nm=audio 4000 RTP/SAVP 0\r\na=crypto:1 AES_CM_128_HMAC_SHA1_80 KEY\r\n", true, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<io::SessionDescription> sdp = io::ParseSdp(c.body);
    ASSERT_EQ(sdp.has_value(), c.parses);
    if (!sdp) continue;
    ASSERT_EQ(sdp->media.size(), c.media);
    if (c.media == 0) continue;
    EXPECT_EQ(sdp->media[0].rtpmaps.size(), c.rtpmaps);
    EXPECT_FALSE(sdp->media[0].connection);
    EXPECT_TRUE(sdp->media[0].cryptos.empty());
  }
}

TEST(Sdp, HostileBodiesStayBounded) {
  std::string body = "v=0\r\n";
  for (int i = 0; i < 100; ++i) body += "m=audio 4000 RTP/AVP 0\r\n";
  for (int i = 0; i < 1000; ++i) body += "a=rtpmap:0 PCMU/8000\r\na=fmtp:0 x\r\n";
  const std::optional<io::SessionDescription> sdp = io::ParseSdp(body);
  ASSERT_TRUE(sdp);
  ASSERT_EQ(sdp->media.size(), io::kMaxSdpMedia);
  EXPECT_TRUE(sdp->media.back().rtpmaps.empty());  // past the media limit nothing is read
  EXPECT_EQ(sdp->media[io::kMaxSdpMedia - 1].fmtps.size(), 0u);
}

}  // namespace
}  // namespace quorvane::testing
