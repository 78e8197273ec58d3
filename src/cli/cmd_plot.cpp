// quorvane plot INPUT -o OUT.png|OUT.svg [--from S] [--to S] [--what W] ...
#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/srtp_key_option.h"
#include "plot/plot_data.h"
#include "io/input_options.h"
#include "plot/stream_samples.h"
#include "plot_qt/plot_export.h"
#include "plot_qt/plot_painter.h"

namespace quorvane::cli {
namespace {

struct PlotArgs {
  std::string input;
  std::string output;
  double from = 0.0;
  double to = -1.0;  // the end of the stream
  plot::PlotWhat what = plot::PlotWhat::kBoth;
  std::string detector = "exact";
  bool v23 = false;
  std::string inputFormat = "ulaw";
  int rate = 8000;
  int channel = 0;
  std::string stream;  // name, SSRC or number; empty: the first
  std::vector<std::string> srtpKeys;  // --srtp-key, as given
  int width = 1600;
  int height = 0;    // from the panels drawn
};

QString Subtitle(const plot::PlotRequest& request, const io::StreamInfo& info) {
  return QString::fromStdString(plot::DescribeInput(info) + " · " +
                                plot::DetectorsShown(request.what, request.dtmfProfile, request.tonePlan));
}

// Qt's start-up notes (a missing runtime folder, say) are no business of a
// command whose stderr carries only its own errors.
void QuietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "quorvane: qt: %s\n", qPrintable(message));
}

int RunPlot(const PlotArgs& args) {
  // Drawing needs Qt's fonts but never a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQtNotes);
  int argc = 1;
  char name[] = "quorvane";
  char* argv[] = {name, nullptr};
  QGuiApplication application(argc, argv);

  if (!plot::FormatFromPath(args.output)) {
    PrintError(args.output, "unknown picture format: the output must end in .png or .svg");
    return kExitUsage;
  }
  io::InputOptions options;
  options.format = *io::ParseSampleFormat(args.inputFormat);
  options.rate = args.rate;
  options.channel = args.channel;
  options.srtpKeys = SrtpKeysOf(args.srtpKeys);
  plot::StreamSamples stream;
  bool usage = false;
  std::string error;
  if (!plot::ReadStreamSamples(args.input, options, args.stream, stream, &error, &usage)) {
    PrintError(args.input, error);
    return usage ? kExitUsage : kExitFailure;
  }
  const std::vector<std::int16_t>& samples = stream.samples;
  std::int64_t first = 0, end = 0;
  if (!plot::ResolveRange(args.from, args.to, static_cast<std::int64_t>(samples.size()), &first, &end, &error)) {
    PrintError(stream.info.name, error);
    return kExitUsage;
  }
  const bool dtmf = args.what != plot::PlotWhat::kCallerId;
  const bool callerId = args.what != plot::PlotWhat::kDtmf;
  const int height = args.height > 0 ? args.height : 200 + 230 * ((dtmf ? 1 : 0) + (callerId ? 1 : 0) + 2);
  const QSize size(args.width, height);
  plot::PlotRequest request;
  request.what = args.what;
  request.tonePlan = args.v23 ? TonePlan::V23 : TonePlan::Bell202;
  request.dtmfProfile = args.detector == "robust" ? plot::DtmfProfile::kRobust : plot::DtmfProfile::kExact;
  const QString subtitle = Subtitle(request, stream.info);
  const plot::PlotOutline outline{plot::PlotTitle(stream.info.name, first, end), subtitle, dtmf, callerId,
                                  request.dtmfProfile};
  request.grid = {first, end, plot::PlotColumns(size, outline)};
  const plot::PlotData data = plot::BuildPlotData(samples, request, stream.info.name);
  if (!plot::WritePlot(data, subtitle, size, args.output, &error)) {
    PrintError(args.output, error);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

CommandRunner AttachPlot(CLI::App& sub) {
  auto args = std::make_shared<PlotArgs>();
  sub.description(
      "Draw what the detectors saw in one stream of a recording: the waveform, a\n"
      "0-4 kHz spectrogram, the DTMF detector's block powers and decisions and the\n"
      "caller-ID demodulator's output, bits, bytes and messages, on one time axis.\n"
      "Writes PNG or SVG (by the extension of -o); prints nothing.\n"
      "Exit status: 0 written, 1 the input could not be read or the output not\n"
      "written, 2 usage error (also a range outside the stream, or no such stream).");
  sub.add_option("INPUT", args->input,
                 "A recording: a WAV, AIFF, AU, CAF, FLAC or Ogg file, a pcap/pcapng capture, or "
                 "headerless samples (see --input-format); - reads standard input")
      ->required();
  sub.add_option("--input-format", args->inputFormat,
                 "Sample format of headerless input: ulaw (default), alaw, s16le, s16be, f32le")
      ->check(CLI::IsMember({"ulaw", "alaw", "s16le", "s16be", "f32le"}));
  sub.add_option("--rate", args->rate, "Sample rate of headerless input in Hz (default 8000)")
      ->check(CLI::Range(io::kMinRate, io::kMaxRate));
  sub.add_option("--channel", args->channel, "Draw channel N (1-based) of a multi-channel input")
      ->check(CLI::Range(1, io::kMaxChannels));
  AddSrtpKeyOption(sub, args->srtpKeys);
  sub.add_option("--stream", args->stream,
                 "Draw this stream: its name (PATH#N, PATH@0xSSRC), its SSRC (0x...) or its "
                 "number (1-based, in the order the input reveals them); default the first");
  sub.add_option("-o,--output", args->output, "picture to write: .png or .svg")->required();
  sub.add_option("--from", args->from, "start of the range in seconds (default 0)")->check(CLI::NonNegativeNumber);
  sub.add_option("--to", args->to, "end of the range in seconds (default: the end of the recording)")
      ->check(CLI::NonNegativeNumber);
  sub.add_option("--what", args->what, "detector panels: dtmf, callerid or both (default both)")
      ->transform(CLI::CheckedTransformer(
          std::map<std::string, plot::PlotWhat>{{"dtmf", plot::PlotWhat::kDtmf},
                                                {"callerid", plot::PlotWhat::kCallerId},
                                                {"both", plot::PlotWhat::kBoth}}));
  sub.add_option("--detector", args->detector, "DTMF detector to draw: exact (default) or robust (its 5 ms sub-block powers and its reported tones)")
      ->check(CLI::IsMember({"exact", "robust"}));
  sub.add_flag("--v23", args->v23, "caller ID uses the V.23 tones (1300/2100 Hz) instead of Bell 202");
  sub.add_option("--width", args->width, "picture width in pixels (default 1600)")->check(CLI::Range(400, 20000));
  sub.add_option("--height", args->height, "picture height in pixels (default: 230 per panel + 200)")
      ->check(CLI::Range(300, 20000));
  return [args] { return RunPlot(*args); };
}

}  // namespace quorvane::cli
