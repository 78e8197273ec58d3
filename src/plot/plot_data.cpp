#include "plot/plot_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "codec/ulaw.h"
#include "plot/stream_analysis.h"

#include "base/failure.h"

namespace quorvane::plot {

PlotData BuildPlotData(const std::vector<std::int16_t>& samples, const PlotRequest& request, std::string title) {
  StreamAnalysis analysis(samples.data(), static_cast<std::int64_t>(samples.size()),
                          {request.grid.first, request.grid.end});
  return analysis.Plot(request, std::move(title));
}

std::string DetectorsShown(PlotWhat what, DtmfProfile profile, TonePlan plan) {
  std::string text;
  if (what != PlotWhat::kCallerId) {
    text += profile == DtmfProfile::kRobust ? "DTMF: robust detector, 5 ms sub-blocks"
                                            : "DTMF: exact detector, 8 Goertzel filters on 102-sample blocks";
  }
  if (what != PlotWhat::kDtmf) {
    if (!text.empty()) text += " · ";
    text += plan == TonePlan::V23 ? "caller ID: exact receiver, V.23 FSK, 1300/2100 Hz"
                                  : "caller ID: exact receiver, Bell 202 FSK, 1200/2200 Hz";
  }
  return text;
}

bool ResolveRange(double fromSeconds, double toSeconds, std::int64_t streamSamples, std::int64_t* first,
                  std::int64_t* end, std::string* error) {
  const double length = static_cast<double>(streamSamples) / kSampleRate;
  char text[160];
  if (toSeconds < 0) toSeconds = length;
  if (!(fromSeconds >= 0.0) || !(toSeconds >= 0.0)) return Fail(error, "--from and --to must not be negative");
  if (fromSeconds >= toSeconds) {
    std::snprintf(text, sizeof text, "--from %.3f s is not before --to %.3f s", fromSeconds, toSeconds);
    return Fail(error, text);
  }
  if (toSeconds > length + 0.5 / kSampleRate) {
    std::snprintf(text, sizeof text, "the range %.3f-%.3f s reaches past the end of the stream (%.3f s)", fromSeconds,
                  toSeconds, length);
    return Fail(error, text);
  }
  *first = static_cast<std::int64_t>(std::llround(fromSeconds * kSampleRate));
  *end = std::min(streamSamples, static_cast<std::int64_t>(std::llround(toSeconds * kSampleRate)));
  return *end > *first || Fail(error, "the range holds no sample");
}

}  // namespace quorvane::plot
