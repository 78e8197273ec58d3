// End-to-end: calls built key by key on each DTMF path, through
// `quorvane calls --json`: the keys each path carried and the verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "io/sip_call.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

// The keys of one direction per path, "in-band/rfc4733/sip-info".
std::string PathKeys(const nlohmann::json& call, const std::string& direction) {
  std::string keys[3];
  for (const auto& key : call["keys"]) {
    if (key["direction"] != direction) continue;
    const std::string path = key["path"];
    keys[path == "in-band" ? 0 : path == "rfc4733" ? 1 : 2] += key["key"].get<std::string>();
  }
  return keys[0] + "/" + keys[1] + "/" + keys[2];
}

std::string Kinds(const nlohmann::json& call) {
  std::string kinds;
  for (const auto& finding : call["findings"]) kinds += (kinds.empty() ? "" : ",") + finding["kind"].get<std::string>();
  return kinds;
}

nlohmann::json RunCall(const SipCallPlan& plan, TempDir& dir) {
  const std::string path = dir.File("call.pcap");
  WriteBytes(path, BuildSipCall(plan));
  const ProcessResult r = RunQuorvane({"calls", "--json", path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return nlohmann::json::parse(r.out);
}

DirectionPlan InBand(std::string keys) { return {keys, true, false, false, "", true, 560}; }
DirectionPlan Events(std::string keys) { return {keys, false, true, false, "", true, 560}; }
DirectionPlan Info(std::string keys) { return {keys, false, false, true, "", true, 560}; }

TEST(CliCalls, KeysOfEachPathAndTheVerdict) {
  struct Case {
    const char* name;
    SipCallPlan plan;
    const char* callerKeys;  // in-band/rfc4733/sip-info
    const char* calleeKeys;
    const char* kinds;       // "" when the paths agree
  };
  SipCallPlan inBandOnly{InBand("123"), {}};
  inBandOnly.offerEvents = false;
  SipCallPlan infoOnly{Info("*0#"), {}};
  infoOnly.offerEvents = false;
  SipCallPlan missing{{"12", true, false, true, "1", true, 560}, {}};
  missing.offerEvents = false;
  SipCallPlan noEnd{Events("4"), {}};
  noEnd.caller.eventEnds = false;
  SipCallPlan tooShort{Events("4"), {}};
  tooShort.caller.eventSamples = 240;
  SipCallPlan reinvite{Events("78"), {}};
  reinvite.reinvite = true;
  SipCallPlan overTcp{Info("*#"), Events("1")};
  overTcp.sipOverTcp = true;
  SipCallPlan rtpTcp{Events("5"), {}};
  rtpTcp.rtpOverTcp = true;
  SipCallPlan ipv6{Events("6"), InBand("9")};
  ipv6.ipv6 = true;
  ipv6.offerEvents = true;
  SipCallPlan wideEvents{Events("7"), {}};
  wideEvents.eventClock = 16000;
  const Case cases[] = {
      {"in-band only", inBandOnly, "123//", "//", ""},
      {"events only, tone suppressed", {Events("123"), {}}, "/123/", "//", ""},
      {"SIP INFO only, 10 and 11 as * and #", infoOnly, "//*0#", "//", ""},
      {"all three paths", {{"159", true, true, true, "", true, 560}, {}}, "159/159/159", "//",
       "events-and-audible-tone,events-and-info"},
      {"a key missing on one path", missing, "12//1", "//", "key-missing"},
      {"tone not suppressed", {{"12", true, true, false, "", true, 560}, {}}, "12/12/", "//", "events-and-audible-tone"},
      {"events and INFO", {{"12", false, true, true, "", true, 560}, {}}, "/12/12", "//", "events-and-info"},
      {"telephone-event agreed, in-band sent", {InBand("3"), {}}, "3//", "//", "in-band-despite-events"},
      {"an event without its end", noEnd, "/4/", "//", "event-without-end"},
      {"a 30 ms event", tooShort, "/4/", "//", "event-too-short"},
      {"both directions", {InBand("12"), Events("#9")}, "12//", "/#9/", "in-band-despite-events"},
      {"re-INVITE moving the media", reinvite, "/78/", "//", ""},
      {"SIP split across TCP segments", overTcp, "//*#", "/1/", ""},
      {"RTP over TCP", rtpTcp, "/5/", "//", ""},
      {"IPv6", ipv6, "/6/", "9//", "in-band-despite-events"},
      {"event clock 16000", wideEvents, "/7/", "//", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const nlohmann::json calls = RunCall(c.plan, dir);
    ASSERT_EQ(calls.size(), 1u) << calls.dump();
    const nlohmann::json& call = calls[0];
    EXPECT_EQ(call["callId"], kCallId);
    EXPECT_EQ(call["from"], "Alice <sip:alice@example.com>");
    EXPECT_EQ(call["to"], "<sip:bob@example.com>");
    EXPECT_EQ(call["outcome"], "answered");
    EXPECT_EQ(PathKeys(call, "caller->callee"), c.callerKeys);
    EXPECT_EQ(PathKeys(call, "callee->caller"), c.calleeKeys);
    EXPECT_EQ(Kinds(call), c.kinds) << call["findings"].dump();
    EXPECT_EQ(call["agree"], std::string(c.kinds).empty());
    for (const auto& key : call["keys"]) {
      if (key["path"] == "rfc4733" && key["direction"] == "caller->callee" && !key.contains("ended")) {
        EXPECT_DOUBLE_EQ(key["duration"].get<double>(), c.plan.caller.eventSamples / 8000.0);
      }
    }
  }
}

TEST(CliCalls, ThePathsOfOneKeyAgreeInTime) {
  TempDir dir;
  const nlohmann::json calls = RunCall({{"1590", true, true, true, "", true, 560}, {}}, dir);
  ASSERT_EQ(calls.size(), 1u);
  std::map<char, std::vector<double>> times;
  for (const auto& key : calls[0]["keys"]) times[key["key"].get<std::string>()[0]].push_back(key["time"]);
  ASSERT_EQ(times.size(), 4u);
  for (const auto& [key, seen] : times) {
    SCOPED_TRACE(key);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_LE(*std::max_element(seen.begin(), seen.end()) - *std::min_element(seen.begin(), seen.end()), 0.060);
  }
}

TEST(CliCalls, ARejectedCallAndTheTextBlock) {
  TempDir dir;
  SipCallPlan busy;
  busy.finalStatus = 486;
  const std::string path = dir.File("busy.pcap");
  WriteBytes(path, BuildSipCall(busy));
  const ProcessResult r = RunQuorvane({"calls", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, std::string("1970-01-01T00:00:00.000Z  ") + kCallId +
                       "  Alice <sip:alice@example.com> -> <sip:bob@example.com>  rejected 486  -\n"
                       "  caller->callee  in-band: -  rfc4733: -  sip-info: -  agree\n"
                       "  callee->caller  in-band: -  rfc4733: -  sip-info: -  agree\n");
}

// Everything a hostile or broken capture holds, in one: the run goes on,
// each call is read as far as it makes sense.
TEST(CliCalls, BadInputNeverStopsTheRun) {
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  const Ipv4 a{10, 0, 0, 1};
  const Ipv4 b{10, 0, 0, 2};
  const auto udp = [&](double time, const std::string& text, std::uint16_t port = 5060) {
    writer.Add(time, Ipv4Packet(a, b, Udp(port, port, Packet(text.begin(), text.end()))));
  };
  std::uint32_t tcpSequence = 1;
  const auto tcp = [&](double time, const std::string& text) {
    Packet segment = {0xc5, 0xc4, 0x13, 0xc4, static_cast<std::uint8_t>(tcpSequence >> 24),
                      static_cast<std::uint8_t>(tcpSequence >> 16), static_cast<std::uint8_t>(tcpSequence >> 8),
                      static_cast<std::uint8_t>(tcpSequence), 0, 0, 0, 0, 0x50, 0x18, 0xff, 0xff, 0, 0, 0, 0};
    const std::size_t header = segment.size();
    segment.resize(header + text.size());
    std::copy(text.begin(), text.end(), segment.begin() + static_cast<std::ptrdiff_t>(header));
    tcpSequence += static_cast<std::uint32_t>(text.size());
    writer.Add(time, Ipv4Packet(a, b, segment, 6));
  };
  const auto request = [](const std::string& method, const std::string& callId, const std::string& type,
                          const std::string& body, std::size_t length) {
    return method + " sip:b@y SIP/2.0\r\nFrom: <sip:a@x>;tag=1\r\nTo: <sip:b@y>" +
           (method == "INVITE" ? "" : ";tag=2") + "\r\nCall-ID: " + callId + "\r\nCSeq: 1 " + method + "\r\n" +
           (type.empty() ? "" : "Content-Type: " + type + "\r\n") + "Content-Length: " + std::to_string(length) +
           "\r\n\r\n" + body;
  };
  const auto invite = [&](const std::string& callId, const std::string& sdp = "") {
    return request("INVITE", callId, sdp.empty() ? "" : "application/sdp", sdp, sdp.size());
  };
  udp(0.0, invite("cut").substr(0, 40));                              // truncated
  udp(0.1, "INVITE \x01\xff garbage SIP/2.0\r\n\r\n\x80\x81");     // garbled
  udp(0.2, invite("nomedia", "v=0\r\nc=IN IP4 10.0.0.1\r\n"));     // SDP without media
  udp(0.3, request("BYE", "nobody", "", "", 0));                      // BYE for an unknown dialog
  udp(0.4, invite("again"));                                          // a Call-ID used twice
  udp(0.5, request("BYE", "again", "", "", 0));
  udp(5.0, invite("again"));
  // RTP on a port no SDP names.
  for (std::uint16_t i = 0; i < 10; ++i) {
    const Packet rtp = Rtp(0, i, i * 160u, 0xbad, Packet(160, 0xff));
    writer.Add(5.0 + i * 0.02, Ipv4Packet(a, b, Udp(30000, 30002, rtp)));
  }
  // An INFO claiming 1 MB of body over TCP, then a key the same connection still carries.
  tcp(6.0, invite("big"));
  const std::string chunk(60000, 'x');
  tcp(6.1, request("INFO", "big", "application/dtmf-relay", "Signal=1\r\n", 1 << 20));
  for (int i = 0; i < 18; ++i) tcp(6.2 + i * 0.001, chunk);
  tcp(6.5, request("INFO", "big", "application/dtmf-relay", "Signal=2\r\n", 10));
  // Ten thousand calls that never end.
  for (int i = 0; i < 10000; ++i) udp(7.0 + i * 1e-5, invite("open-" + std::to_string(i)));

  TempDir dir;
  const std::string path = dir.File("bad.pcap");
  WriteBytes(path, writer.bytes());
  const ProcessResult r = RunQuorvane({"calls", "--json", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json calls = nlohmann::json::parse(r.out);
  std::map<std::string, std::vector<nlohmann::json>> byId;
  for (const auto& call : calls) byId[call["callId"].is_null() ? "null" : call["callId"].get<std::string>()].push_back(call);
  EXPECT_EQ(calls.size(), 10005u);
  EXPECT_EQ(byId.count("cut"), 0u);
  EXPECT_EQ(byId["nomedia"].size(), 1u);
  EXPECT_TRUE(byId["nomedia"][0]["streams"].empty());
  EXPECT_EQ(byId.count("nobody"), 0u);
  ASSERT_EQ(byId["again"].size(), 2u);
  EXPECT_NE(byId["again"][0]["start"], byId["again"][1]["start"]);
  ASSERT_EQ(byId["null"].size(), 1u);
  EXPECT_EQ(byId["null"][0]["streams"][0]["packets"], 10);
  ASSERT_EQ(byId["big"].size(), 1u);
  EXPECT_EQ(PathKeys(byId["big"][0], "caller->callee"), "//2");
  EXPECT_EQ(byId["open-9999"][0]["outcome"], "incomplete");
}

}  // namespace
}  // namespace quorvane::testing
