// Live: `quorvane calls --interface lo` hears a call the test sends over
// loopback, prints its keys as they come and, at Ctrl-C, the call as
// incomplete. Skipped where this process may not capture.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

#include "support/live_process.h"
#include "support/run_process.h"

namespace quorvane::testing {
namespace {

std::string Request(const std::string& method, int cseq, bool toTag, const std::string& type, const std::string& body) {
  return method + " sip:bob@127.0.0.1 SIP/2.0\r\nFrom: <sip:alice@127.0.0.1>;tag=live1\r\nTo: <sip:bob@127.0.0.1>" +
         (toTag ? ";tag=live2" : "") + "\r\nCall-ID: live-call@127.0.0.1\r\nCSeq: " + std::to_string(cseq) + " " +
         method + "\r\n" + (type.empty() ? "" : "Content-Type: " + type + "\r\n") +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

const char kAnswer[] =
    "SIP/2.0 200 OK\r\nFrom: <sip:alice@127.0.0.1>;tag=live1\r\nTo: <sip:bob@127.0.0.1>;tag=live2\r\n"
    "Call-ID: live-call@127.0.0.1\r\nCSeq: 1 INVITE\r\nContent-Length: 0\r\n\r\n";

TEST(CliCallsLive, KeysAsTheyComeAndTheCallIncompleteAtCtrlC) {
  LiveProcess capture;
  ASSERT_TRUE(capture.Start({QUORVANE_BINARY, "calls", "--interface", "lo", "--filter", "udp port 45060"}));
  const int sock = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(45060);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto send = [&](const std::string& message) {
    sendto(sock, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  };
  // The capture starts a moment after the program: the call is sent again,
  // a new INFO each time, until a key is heard.
  bool heard = false;
  for (int round = 0; round < 50 && !heard && !capture.Ended(); ++round) {
    send(Request("INVITE", 1, false, "", ""));
    send(kAnswer);
    send(Request("INFO", 10 + round, true, "application/dtmf-relay", "Signal=7\r\nDuration=100\r\n"));
    heard = capture.WaitFor([](const std::vector<TimedLine>& lines) { return !lines.empty(); }, 0.2);
  }
  close(sock);
  if (!heard && capture.Ended()) {
    if (capture.err().find("CAP_NET_RAW") != std::string::npos) {
      EXPECT_EQ(capture.Wait(5), 1);
      GTEST_SKIP() << "capturing is not permitted here: " << capture.err();
    }
    FAIL() << capture.err();
  }
  ASSERT_TRUE(heard) << capture.err();
  const nlohmann::json key = nlohmann::json::parse(capture.lines()[0].text);
  EXPECT_EQ(key["callId"], "live-call@127.0.0.1");
  EXPECT_EQ(key["key"], "7");
  EXPECT_EQ(key["path"], "sip-info");
  capture.Signal(SIGINT);
  EXPECT_EQ(capture.Wait(10), 0) << capture.err();
  const nlohmann::json call = nlohmann::json::parse(capture.lines().back().text);
  EXPECT_EQ(call["done"], true);
  EXPECT_EQ(call["outcome"], "incomplete");
  EXPECT_NE(call["answered"], nullptr);
}

TEST(CliCallsLive, WithoutThePermissionOneLineNamingIt) {
  const ProcessResult r = RunQuorvaneUnprivileged({"calls", "--interface", "lo"});
  if (r.exitCode == kCannotRunUnprivileged) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "quorvane: lo: no permission to capture on lo: needs the CAP_NET_RAW capability or root\n");
}

}  // namespace
}  // namespace quorvane::testing
