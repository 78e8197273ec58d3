#include "plot/plot_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>

#include "codec/ulaw.h"

namespace quorvane::plot {

PlotData BuildPlotData(const std::vector<std::int16_t>& samples, const PlotRequest& request, std::string title) {
  PlotData data;
  data.title = std::move(title);
  data.grid = request.grid;
  const std::int16_t* s = samples.data();
  const auto count = static_cast<std::int64_t>(samples.size());
  // The caller-ID panel is the slowest; it runs beside the others.
  std::future<CallerIdPanel> callerId;
  if (request.what != PlotWhat::kDtmf) {
    callerId = std::async(std::launch::async, [&] { return BuildCallerIdPanel(s, count, request.grid, request.tonePlan); });
  }
  data.waveform = BuildWaveformPanel(s, request.grid);
  data.spectrogram = BuildSpectrogramPanel(s, count, request.grid);
  if (request.what != PlotWhat::kCallerId) {
    data.dtmf = request.dtmfProfile == DtmfProfile::kRobust ? BuildRobustDtmfPanel(s, count, request.grid)
                                                            : BuildDtmfPanel(s, count, request.grid);
  }
  if (callerId.valid()) data.callerId = callerId.get();
  return data;
}

SampleRange ResolveRange(double fromSeconds, double toSeconds, std::int64_t streamSamples) {
  SampleRange range;
  const double length = static_cast<double>(streamSamples) / kSampleRate;
  char text[160];
  if (toSeconds < 0) toSeconds = length;
  if (!(fromSeconds >= 0.0) || !(toSeconds >= 0.0)) {
    range.error = "--from and --to must not be negative";
  } else if (fromSeconds >= toSeconds) {
    std::snprintf(text, sizeof text, "--from %.3f s is not before --to %.3f s", fromSeconds, toSeconds);
    range.error = text;
  } else if (toSeconds > length + 0.5 / kSampleRate) {
    std::snprintf(text, sizeof text, "the range %.3f-%.3f s reaches past the end of the stream (%.3f s)",
                  fromSeconds, toSeconds, length);
    range.error = text;
  } else {
    range.first = static_cast<std::int64_t>(std::llround(fromSeconds * kSampleRate));
    range.end = std::min(streamSamples, static_cast<std::int64_t>(std::llround(toSeconds * kSampleRate)));
    if (range.end <= range.first) range.error = "the range holds no sample";
  }
  return range;
}

}  // namespace quorvane::plot
