// What the detectors saw in one stream, each detector run once: the panels
// of any range are then taken from its track, so zooming and panning never
// run a detector again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "plot/callerid_panel.h"
#include "plot/dtmf_panel.h"
#include "plot/plot_data.h"
#include "plot/track_span.h"

namespace quorvane::plot {

class StreamAnalysis {
 public:
  // `samples` (the whole stream) must outlive the analysis and stay put.
  // Panels can be had for ranges inside `span`; the detectors run only as
  // far as it needs.
  StreamAnalysis(const std::int16_t* samples, std::int64_t count, TrackSpan span = {});

  // Each track is made the first time it is asked for and then kept.
  const DtmfTrack& Dtmf(DtmfProfile profile);
  const CallerIdTrack& CallerId(TonePlan plan);

  // The panels of the request's range, which must lie inside the span; the
  // waveform and spectrogram come from the samples, the rest from the tracks.
  PlotData Plot(const PlotRequest& request, std::string title);

  // How many times a detector has run over the stream.
  int DetectorRuns() const { return detectorRuns_; }

 private:
  CallerIdTrack RunCallerId(TonePlan plan) const;

  const std::int16_t* samples_;
  std::int64_t count_;
  TrackSpan span_;
  std::optional<DtmfTrack> dtmf_[2];          // by DtmfProfile
  std::optional<CallerIdTrack> callerId_[2];  // Bell 202, V.23
  int detectorRuns_ = 0;
};

}  // namespace quorvane::plot
