// Live capture end to end, without sound hardware: a PulseAudio server of
// the test's own plays a synthesised recording into a null sink whose
// monitor is captured, and an ALSA PCM reads a recording from a file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "codec/ulaw.h"
#include "support/live_process.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using Json = nlohmann::json;
using testing::Clock;
using testing::LiveProcess;
using testing::RunQuorvane;
using testing::TempDir;
using testing::TimedLine;

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// An event as found, without where and when.
Json Content(Json event) {
  for (const char* key : {"file", "channel", "time", "input"}) event.erase(key);
  return event;
}

struct FileResult {
  std::vector<Json> events;
  Json done;
};

FileResult ReadFromFile(const std::string& command, const std::string& path) {
  FileResult result;
  const auto r = RunQuorvane({command, "--jsonl", path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::stringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    Json j = Json::parse(line);
    if (j.contains("done")) result.done = j;
    else result.events.push_back(j);
  }
  return result;
}

std::string Synth(const TempDir& dir, const std::string& name, std::vector<std::string> args) {
  const std::string path = dir.File(name);
  args.insert(args.begin(), "synth");
  args.insert(args.end(), {"-o", path});
  const auto r = RunQuorvane(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

// An ALSA configuration of one PCM, quorvane_file, that captures `raw`
// (s16 mono; the null slave takes 48000 Hz, as a device with any rate does).
std::string AlsaConfig(const TempDir& dir, const std::string& raw) {
  const std::string path = dir.File("asound.conf");
  WriteText(path, "pcm.quorvane_file {\n  type file\n  slave.pcm { type null }\n  file \"/dev/null\"\n  infile \"" +
                      raw + "\"\n  format \"raw\"\n  hint { show on description \"Test recording\" }\n}\n");
  return path;
}

// The mu-law recording at `path` as 48 kHz s16 samples (each held for six).
std::string As48kRaw(const std::string& path) {
  std::vector<std::uint8_t> raw;
  for (std::uint8_t code : testing::ReadBytes(path)) {
    const auto sample = static_cast<std::uint16_t>(UlawToLinear(code));
    for (int i = 0; i < 6; ++i) raw.insert(raw.end(), {static_cast<std::uint8_t>(sample), static_cast<std::uint8_t>(sample >> 8)});
  }
  testing::WriteBytes(path + ".raw", raw);
  return path + ".raw";
}

// A PulseAudio server of the test's own, in a runtime folder of its own,
// with one null sink "test" at 44100 Hz stereo.
class PrivatePulse {
 public:
  ~PrivatePulse() {
    server_.Signal(SIGTERM);
    server_.Wait(5.0);
  }

  // Empty once it answers, else why it does not.
  std::string Start(const TempDir& dir) {
    const std::string pulseaudio = FindProgram("pulseaudio");
    if (pulseaudio.empty() || FindProgram("pactl").empty() || FindProgram("paplay").empty()) {
      return "pulseaudio, pactl or paplay is not installed";
    }
    const std::string runtime = dir.File("run");
    mkdir(runtime.c_str(), 0700);
    socket_ = runtime + "/native";
    const std::string script = dir.File("server.pa");
    WriteText(script, "load-module module-native-protocol-unix auth-anonymous=1 socket=" + socket_ +
                          "\nload-module module-null-sink sink_name=test rate=44100 channels=2\n");
    // --system=no and a home of its own also let root run a user's server.
    if (!server_.Start({pulseaudio, "-n", "--daemonize=no", "--system=no", "--exit-idle-time=-1", "--use-pid-file=no",
                        "--log-level=error", "--log-target=stderr", "-F", script},
                       {"HOME=" + dir.path().string(), "XDG_RUNTIME_DIR=" + runtime,
                        "XDG_CONFIG_HOME=" + dir.File("config")})) {
      return "pulseaudio could not be started";
    }
    if (testing::PollUntilOutput({Pactl(), "list", "short", "sinks"}, env(), 10.0)) return {};
    server_.Signal(SIGTERM);
    server_.Wait(5.0);
    return "pulseaudio did not start: " + server_.err();
  }

  std::vector<std::string> env() const { return {"PULSE_SERVER=unix:" + socket_}; }
  static std::string Pactl() { return FindProgram("pactl"); }

 private:
  LiveProcess server_;
  std::string socket_;
};

struct LiveCase {
  const char* command;
  std::vector<std::string> synth;
  // When the signal behind each event ends, in seconds from the start of
  // a recording of `bytes` samples.
  std::vector<double> (*ends)(std::size_t bytes);
};

const LiveCase kLiveCases[] = {
    {"dtmf",
     {"dtmf", "159#", "--lead-ms", "300", "--tone-ms", "80", "--gap-ms", "120"},
     [](std::size_t) { return std::vector<double>{0.38, 0.58, 0.78, 0.98}; }},
    {"callerid",
     {"callerid", "--number", "5551234", "--name", "ALICE"},
     [](std::size_t bytes) { return std::vector<double>{static_cast<double>(bytes) / 8000.0 - 0.1}; }},  // 100 ms trail
};

TEST(CliDevice, PulseMonitorGivesTheFilesEventsAsTheyHappenAndTotalsOnSigint) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // A sanitized capture, sharing two cores with a sound server and a player,
  // falls behind the real-time clock this test holds it to; the plain build
  // checks it.
  GTEST_SKIP() << "real-time capture is checked in the build without sanitizers";
#endif
  TempDir dir;
  PrivatePulse pulse;
  if (const std::string why = pulse.Start(dir); !why.empty()) GTEST_SKIP() << why;
  for (const LiveCase& c : kLiveCases) {
    SCOPED_TRACE(c.command);
    const std::string path = Synth(dir, std::string(c.command) + ".pcm", c.synth);
    const FileResult expected = ReadFromFile(c.command, path);
    const std::vector<double> ends = c.ends(testing::ReadBytes(path).size());
    ASSERT_EQ(expected.events.size(), ends.size());

    LiveProcess capture;
    ASSERT_TRUE(capture.Start({QUORVANE_BINARY, c.command, "--device", "test.monitor", "--jsonl"}, pulse.env()));
    // Play only once the capture records.
    ASSERT_TRUE(testing::PollUntilOutput({PrivatePulse::Pactl(), "list", "short", "source-outputs"}, pulse.env(), 10.0))
        << capture.err();
    LiveProcess player;
    ASSERT_TRUE(player.Start({FindProgram("paplay"), "--raw", "--format=ulaw", "--rate=8000", "--channels=1",
                              "--latency-msec=20", "--device=test", path},
                             pulse.env()));
    // The sink is stereo: every event comes once from each channel. The
    // player ends once the sink has played its last sample, which times the
    // recording on the clock the lines arrive by, however slow it was to start.
    const std::size_t wanted = 2 * ends.size();
    ASSERT_TRUE(capture.WaitFor(
        [&](const std::vector<TimedLine>& lines) { return player.Ended() && lines.size() >= wanted; }, 20.0))
        << capture.err();
    EXPECT_EQ(player.Wait(0.0), 0) << player.err();
    const Clock::time_point started =
        player.endedAt() - std::chrono::microseconds(testing::ReadBytes(path).size() * 125);  // 8000 samples/s
    capture.Signal(SIGINT);
    EXPECT_EQ(capture.Wait(10.0), 0);
    EXPECT_EQ(capture.err(), "");

    const std::vector<TimedLine>& lines = capture.lines();
    ASSERT_EQ(lines.size(), wanted + 2);
    std::size_t next[3] = {0, 0, 0};
    for (std::size_t i = 0; i < wanted; ++i) {
      const Json event = Json::parse(lines[i].text);
      EXPECT_EQ(event.at("file"), "device:test.monitor");
      const int channel = event.at("channel");
      ASSERT_TRUE(channel == 1 || channel == 2);
      const std::size_t n = next[channel]++;
      ASSERT_LT(n, ends.size());
      EXPECT_EQ(Content(event), Content(expected.events[n]));
      const double late = std::chrono::duration<double>(lines[i].arrived - started).count() - ends[n];
      EXPECT_LT(late, 0.5) << lines[i].text;
    }
    for (int channel = 1; channel <= 2; ++channel) {
      const Json done = Json::parse(lines[wanted + static_cast<std::size_t>(channel) - 1].text);
      EXPECT_EQ(done.at("channel"), channel);
      EXPECT_EQ(done.at("input"), Json::parse(R"({"container":"pulse","encoding":"pcm16","rate":44100,"channels":2})"));
      EXPECT_EQ(Content(done), Content(expected.done));
    }
  }
}

TEST(CliDevice, DevicesListsPulseMonitorsAndAlsaPcmsAndTheDefaultSourceIsNamed) {
  TempDir dir;
  PrivatePulse pulse;
  if (const std::string why = pulse.Start(dir); !why.empty()) GTEST_SKIP() << why;
  std::vector<std::string> env = pulse.env();
  env.push_back("ALSA_CONFIG_PATH=" + AlsaConfig(dir, "/dev/null"));
  const auto r = RunQuorvane({"devices"}, "", env);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("test.monitor\t", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nalsa:quorvane_file\tTest recording\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");

  // No name: the default source, named as the server names it.
  LiveProcess capture;
  ASSERT_TRUE(capture.Start({QUORVANE_BINARY, "dtmf", "--device", "--jsonl"}, pulse.env()));
  ASSERT_TRUE(testing::PollUntilOutput({PrivatePulse::Pactl(), "list", "short", "source-outputs"}, pulse.env(), 10.0))
      << capture.err();
  capture.Signal(SIGINT);
  EXPECT_EQ(capture.Wait(10.0), 0) << capture.err();
  ASSERT_EQ(capture.lines().size(), 2u);
  for (const TimedLine& line : capture.lines()) EXPECT_EQ(Json::parse(line.text).at("file"), "device:test.monitor");

  const auto missing = RunQuorvane({"dtmf", "--device", "nosuch"}, "", pulse.env());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "quorvane: device:nosuch: cannot open PulseAudio source \"nosuch\": No such entity\n");
  EXPECT_EQ(missing.out, "");
}

TEST(CliDevice, AlsaFilePcmGivesTheFilesEventsAndTotals) {
  TempDir dir;
  for (const LiveCase& c : kLiveCases) {
    SCOPED_TRACE(c.command);
    const std::string path = Synth(dir, std::string(c.command) + ".pcm", c.synth);
    const FileResult expected = ReadFromFile(c.command, path);
    LiveProcess capture;
    ASSERT_TRUE(capture.Start({QUORVANE_BINARY, c.command, "--device", "alsa:quorvane_file", "--jsonl"},
                              {"ALSA_CONFIG_PATH=" + AlsaConfig(dir, As48kRaw(path))}));
    // The null slave gives silence after the file, until the signal.
    ASSERT_TRUE(capture.WaitFor(
        [&](const std::vector<TimedLine>& lines) { return lines.size() >= expected.events.size(); }, 20.0))
        << capture.err();
    // SIGTERM ends a capture as Ctrl-C does.
    capture.Signal(std::string(c.command) == "dtmf" ? SIGINT : SIGTERM);
    EXPECT_EQ(capture.Wait(10.0), 0);
    EXPECT_EQ(capture.err(), "");
    ASSERT_EQ(capture.lines().size(), expected.events.size() + 1);
    for (std::size_t i = 0; i < expected.events.size(); ++i) {
      const Json event = Json::parse(capture.lines()[i].text);
      EXPECT_EQ(event.at("file"), "device:alsa:quorvane_file");
      EXPECT_EQ(Content(event), Content(expected.events[i]));
      // Times count from the first sample captured, as from a file's first.
      EXPECT_NEAR(event.at("time").get<double>(), expected.events[i].at("time").get<double>(), 0.021);
    }
    const Json done = Json::parse(capture.lines().back().text);
    EXPECT_EQ(done.at("input"), Json::parse(R"({"container":"alsa","encoding":"pcm16","rate":48000,"channels":1})"));
    EXPECT_EQ(Content(done), Content(expected.done));
  }
}

TEST(CliDevice, NoServerOrNoDeviceIsOneLineAndExitOne) {
  TempDir dir;
  const std::string noServer = "PULSE_SERVER=unix:" + dir.File("none");
  const std::string alsa = "ALSA_CONFIG_PATH=" + AlsaConfig(dir, "/dev/null");
  WriteText(dir.File("empty.conf"), "");
  const std::string noAlsa = "ALSA_CONFIG_PATH=" + dir.File("empty.conf");
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string err;
  };
  const Case cases[] = {
      {{"dtmf", "--device", "foo"}, {noServer},
       "quorvane: device:foo: cannot open PulseAudio source \"foo\": Connection refused\n"},
      {{"callerid", "--device", "pulse:foo", "--jsonl"}, {noServer},
       "quorvane: device:foo: cannot open PulseAudio source \"foo\": Connection refused\n"},
      {{"dtmf", "--device"}, {noServer},
       "quorvane: device:default: cannot open the default PulseAudio source: Connection refused\n"},
      {{"dtmf", "--device", "alsa:nosuch"}, {alsa},
       "quorvane: device:alsa:nosuch: cannot open ALSA device \"nosuch\": No such file or directory\n"},
      {{"devices"}, {noServer, noAlsa},
       "quorvane: devices: no PulseAudio server (Connection refused) and no ALSA capture device (no PCM that can "
       "capture)\n"},
  };
  for (const Case& c : cases) {
    const auto r = RunQuorvane(c.args, "", c.env);
    EXPECT_EQ(r.exitCode, 1) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err);
    // --jsonl names the failure too; text prints nothing.
    if (c.args.back() == "--jsonl") {
      EXPECT_EQ(Json::parse(r.out).at("file"), "device:foo");
    } else {
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST(CliDevice, DeviceExcludesInputsAndHeaderlessOptions) {
  const std::vector<std::vector<std::string>> cases = {
      {"dtmf", "--device", "foo", "a.pcm"}, {"dtmf", "a.pcm", "--device"}, {"dtmf", "--device", "alsa:"},
      {"callerid", "--device", "pulse:"}, {"dtmf", "--device", "--rate", "16000"},
      {"callerid", "--input-format", "s16le", "--device"}};
  for (const auto& args : cases) {
    const auto r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err, "");
    EXPECT_EQ(r.out, "");
  }
  // Without --device, INPUT is required as it always was.
  EXPECT_EQ(RunQuorvane({"dtmf"}).err, "INPUT is required\nRun with --help for more information.\n");
}

}  // namespace
}  // namespace quorvane
