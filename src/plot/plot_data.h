// Everything a plot shows, for one stream and one time range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot/callerid_panel.h"
#include "plot/column_grid.h"
#include "plot/dtmf_panel.h"
#include "plot/spectrogram_panel.h"
#include "plot/waveform_panel.h"

namespace quorvane::plot {

enum class PlotWhat { kDtmf, kCallerId, kBoth };

struct PlotRequest {
  ColumnGrid grid;           // the range and the number of pixel columns
  PlotWhat what = PlotWhat::kBoth;
  TonePlan tonePlan = TonePlan::Bell202;
  DtmfProfile dtmfProfile = DtmfProfile::kExact;
};

struct PlotData {
  std::string title;         // file and stream
  ColumnGrid grid;
  WaveformPanel waveform;
  SpectrogramPanel spectrogram;
  std::optional<DtmfPanel> dtmf;
  std::optional<CallerIdPanel> callerId;
  bool operator==(const PlotData&) const = default;
};

// `samples` is the whole stream from its start; the detectors run from
// there to the end of the range (and as far past it as they report late),
// so their state at the range matches a full run.
PlotData BuildPlotData(const std::vector<std::int16_t>& samples, const PlotRequest& request, std::string title);

// The detectors a plot shows, for its subtitle:
// "DTMF: exact detector, ... · caller ID: exact receiver, Bell 202 FSK, ...".
std::string DetectorsShown(PlotWhat what, DtmfProfile profile, TonePlan plan);

// Samples of the range [fromSeconds, toSeconds) at 8000 per second into
// `first` and `end`; false with the reason when the range is empty or
// reaches outside the stream. A negative `toSeconds` means the end of the
// stream.
bool ResolveRange(double fromSeconds, double toSeconds, std::int64_t streamSamples, std::int64_t* first,
                  std::int64_t* end, std::string* error);

}  // namespace quorvane::plot
