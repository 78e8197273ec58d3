// quorvane synth dtmf DIGITS -o PATH [...]
// quorvane synth callerid -o PATH [...]
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "dtmf/synth.h"
#include "callerid/synth.h"
#include "callerid/exact/fsk_receiver.h"

namespace quorvane::cli {
namespace {

constexpr double kLongestMs = 3600000.0;

// Options both synthesisers share: frequency offset, noise and its seed.
void AddImpairmentOptions(CLI::App& sub, double& freqOffsetPercent, std::optional<double>& snrDb,
                          std::uint64_t& seed) {
  sub.add_option("--freq-offset", freqOffsetPercent, "Shift both tones by this many percent")->capture_default_str();
  sub.add_option("--snr", snrDb, "Add white noise at this signal-to-noise ratio in dB");
  sub.add_option("--seed", seed, "Seed of the noise")->capture_default_str();
}

struct SynthDtmfArgs {
  DtmfSynthOptions options;
  std::string output;
};

int RunSynthDtmf(const SynthDtmfArgs& args) {
  std::string error;
  if (!SynthesizeDtmf(args.options, args.output, &error)) {
    PrintError(args.output, error);
    return kExitFailure;
  }
  return kExitOk;
}

CommandRunner AttachSynthDtmf(CLI::App& sub) {
  auto args = std::make_shared<SynthDtmfArgs>();
  DtmfSynthOptions& o = args->options;
  sub.description(
      "Write a mu-law .pcm recording of DTMF keys.\n"
      "Levels are in dBm0: 0 dBm0 is a sine of peak 22700 in 16-bit linear units,\n"
      "the level of the digital milliwatt.");
  sub.add_option("DIGITS", o.digits, "Keys from 0-9, A-D, * and #")->required()->check(
      [](const std::string& digits) -> std::string {
        for (char key : digits) {
          if (DtmfKeyIndex(key) < 0) return std::string("not a DTMF key: '") + key + "'";
        }
        return "";
      },
      "DTMF keys");
  sub.add_option("-o,--output", args->output, "Output .pcm file")->required();
  sub.add_option("--tone-ms", o.toneMs, "Tone length per key in ms")->capture_default_str()->check(CLI::Range(0.0, kLongestMs));
  sub.add_option("--gap-ms", o.gapMs, "Silence after each key in ms")->capture_default_str()->check(CLI::Range(0.0, kLongestMs));
  sub.add_option("--lead-ms", o.leadMs, "Silence before the first key in ms")->capture_default_str()->check(CLI::Range(0.0, kLongestMs));
  sub.add_option("--level", o.levelDbm0, "Level of each tone in dBm0 (the row tone; see --twist)")->capture_default_str();
  sub.add_option("--twist", o.twistDb, "Column tone level minus row tone level, in dB")->capture_default_str();
  AddImpairmentOptions(sub, o.freqOffsetPercent, o.snrDb, o.seed);
  return [args] { return RunSynthDtmf(*args); };
}

struct SynthCallerIdArgs {
  CallerIdSynthOptions options;
  bool v23 = false;
  std::string format = "mdmf";
  std::string numberAbsence = "O";
  std::string nameAbsence = "O";
  std::string waiting;
  std::vector<std::string> rawParameters;
  std::string endKey = "C";
  std::string output;
};

// "TYPE:HEX", both in hexadecimal, as in "E0:0102".
bool ParseRawParameter(const std::string& text, std::pair<std::uint8_t, std::vector<std::uint8_t>>& out) {
  auto nibble = [](char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
  };
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || (text.size() - colon - 1) % 2 != 0) return false;
  int type = 0;
  for (std::size_t i = 0; i < colon; ++i) {
    if (nibble(text[i]) < 0) return false;
    type = type * 16 + nibble(text[i]);
  }
  out.first = static_cast<std::uint8_t>(type);
  out.second.clear();
  for (std::size_t i = colon + 1; i < text.size(); i += 2) {
    const int high = nibble(text[i]), low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.second.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

int RunSynthCallerId(SynthCallerIdArgs& args) {
  CallerIdSynthOptions& o = args.options;
  o.multipleDataMessage = args.format == "mdmf" || args.format == "mdmf-mwi";
  o.messageWaitingType = args.format == "sdmf-mwi" || args.format == "mdmf-mwi";
  o.dtmf = args.format == "dtmf";
  o.plan = args.v23 ? TonePlan::V23 : TonePlan::Bell202;
  o.numberAbsence = args.numberAbsence[0];
  o.nameAbsence = args.nameAbsence[0];
  o.dtmfEndKey = args.endKey[0];
  if (!args.waiting.empty()) o.messageWaiting = args.waiting == "on";
  for (const std::string& text : args.rawParameters) {
    std::pair<std::uint8_t, std::vector<std::uint8_t>> parameter;
    if (!ParseRawParameter(text, parameter)) {
      PrintError("synth callerid", "--param " + text + ": expected TYPE:HEX, as in E0:0102");
      return kExitUsage;
    }
    o.rawParameters.push_back(parameter);
  }
  std::string error;
  if (!CheckCallerIdOptions(o, &error)) {
    PrintError("synth callerid", error);
    return kExitUsage;
  }
  // DTMF caller ID has no payload; an FSK message must fit the receiver.
  const std::size_t payloadBytes = o.dtmf ? 0 : BuildCallerIdMessage(o, &error)->size() - 3;
  if (payloadBytes > static_cast<std::size_t>(kMaxPayloadBytes)) {
    PrintError("synth callerid", "the message payload is " + std::to_string(payloadBytes) +
                                     " bytes; a receiver accepts at most " + std::to_string(kMaxPayloadBytes));
    return kExitUsage;
  }
  if (!SynthesizeCallerId(o, args.output, &error)) {
    PrintError(args.output, error);
    return kExitFailure;
  }
  return kExitOk;
}

CommandRunner AttachSynthCallerId(CLI::App& sub) {
  auto args = std::make_shared<SynthCallerIdArgs>();
  CallerIdSynthOptions& o = args->options;
  sub.description(
      "Write a mu-law .pcm recording of a caller-ID burst: channel seizure (0x55 bytes),\n"
      "a mark period, then a data message with its checksum, as continuous-phase FSK at\n"
      "1200 bit/s, 8-N-1: single (0x04) or multiple (0x80) data message, or the\n"
      "message-waiting messages (0x06, 0x82). Or caller ID as DTMF digits: A number C\n"
      "(or #), D information code C, then B redirecting number C when given.\n"
      "Levels are in dBm0: 0 dBm0 is a sine of peak 22700 in 16-bit linear units,\n"
      "the level of the digital milliwatt.");
  sub.add_option("-o,--output", args->output, "Output .pcm file")->required();
  sub.add_option("--format", args->format, "mdmf, sdmf, mdmf-mwi, sdmf-mwi or dtmf")
      ->capture_default_str()->check(CLI::IsMember({"mdmf", "sdmf", "mdmf-mwi", "sdmf-mwi", "dtmf"}));
  sub.add_option("--number", o.number, "Calling number (empty: the number absence code)");
  sub.add_option("--name", o.name, "Caller's name, mdmf only (empty: the name absence code)");
  sub.add_option("--datetime", o.dateTime, "Month, day, hour, minute as eight digits MMDDHHMM (mdmf: empty leaves it out)")->capture_default_str();
  sub.add_option("--number-absent", args->numberAbsence, "Absence code sent without a number: O unavailable, P withheld")
      ->capture_default_str()->check(CLI::IsMember({"O", "P"}));
  sub.add_option("--name-absent", args->nameAbsence, "Absence code sent without a name: O unavailable, P withheld")
      ->capture_default_str()->check(CLI::IsMember({"O", "P"}));
  sub.add_option("--mwi", args->waiting, "Message waiting on or off (the -mwi formats: default on; mdmf: adds the indicator)")
      ->check(CLI::IsMember({"on", "off"}));
  sub.add_option("--dialable", o.dialableNumber, "Dialable directory number (mdmf)");
  sub.add_option("--qualifier", o.callQualifier, "Call qualifier, as L for long distance (mdmf)");
  sub.add_option("--call-type", o.callType, "Call type code 0..255 (mdmf)");
  sub.add_option("--messages", o.messageCount, "Number of messages waiting 0..255 (mdmf)");
  sub.add_option("--redirecting", o.redirectingNumber, "Redirecting number (mdmf or dtmf)");
  sub.add_option("--redirect-reason", o.redirectReason, "Redirection reason code 0..255 (mdmf)");
  sub.add_option("--user-type", o.callingUserType, "Calling user type code 0..255 (mdmf)");
  sub.add_option("--param", args->rawParameters, "Any further parameter as TYPE:HEX, as in E0:0102 (mdmf; repeatable)");
  sub.add_option("--idle-bits", o.idleBits, "Mark bits between characters")->capture_default_str()->check(CLI::Range(0, 1000));
  sub.add_flag("--alert", o.alert, "Send the dual-tone alerting signal (2130 + 2750 Hz) before the burst");
  sub.add_option("--alert-ms", o.alertMs, "Length of the alerting signal in ms")->capture_default_str()->check(CLI::Range(0.0, 60000.0));
  sub.add_option("--alert-gap-ms", o.alertGapMs, "Silence between the alerting signal and the burst in ms")->capture_default_str()->check(CLI::Range(0.0, 60000.0));
  sub.add_option("--info-code", o.informationCode, "DTMF information code sent instead of a number (dtmf)");
  sub.add_option("--end-key", args->endKey, "DTMF end key: C or #")->capture_default_str()->check(CLI::IsMember({"C", "#"}));
  sub.add_flag("--v23", args->v23, "V.23 tones (mark 1300 Hz, space 2100 Hz) instead of Bell 202 (1200/2200 Hz)");
  sub.add_option("--level", o.levelDbm0, "Tone level in dBm0")->capture_default_str();
  sub.add_option("--seizure", o.seizureBytes, "Channel-seizure 0x55 bytes")->capture_default_str()->check(CLI::Range(0, 10000));
  sub.add_option("--mark-ms", o.markMs, "Mark period before the message in ms")->capture_default_str()->check(CLI::Range(0.0, 60000.0));
  sub.add_option("--message-delay", o.messageDelayBits,
                 "Start the message this fraction of a bit off the mark's bit clock (0 up to 1)")
      ->capture_default_str()->check(CLI::Range(0.0, 1.0));
  sub.add_option("--lead-ms", o.leadMs, "Silence before the burst in ms")->capture_default_str()->check(CLI::Range(0.0, kLongestMs));
  sub.add_option("--trail-ms", o.trailMs, "Silence after the burst in ms")->capture_default_str()->check(CLI::Range(0.0, kLongestMs));
  AddImpairmentOptions(sub, o.freqOffsetPercent, o.snrDb, o.seed);
  return [args] { return RunSynthCallerId(*args); };
}

}  // namespace

CommandRunner AttachSynth(CLI::App& sub) {
  sub.require_subcommand(1);
  CLI::App* dtmf = sub.add_subcommand("dtmf", "Write a recording of DTMF keys");
  dtmf->set_version_flag("--version", kVersionText);
  CommandRunner runDtmf = AttachSynthDtmf(*dtmf);
  CLI::App* callerId = sub.add_subcommand("callerid", "Write a recording of a caller-ID burst");
  callerId->set_version_flag("--version", kVersionText);
  CommandRunner runCallerId = AttachSynthCallerId(*callerId);
  return [dtmf, runDtmf, callerId, runCallerId]() -> int {
    if (dtmf->parsed()) return runDtmf();
    if (callerId->parsed()) return runCallerId();
    return kExitUsage;
  };
}

}  // namespace quorvane::cli
