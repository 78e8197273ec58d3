#include "plot/stream_analysis.h"

#include <future>
#include <utility>

namespace quorvane::plot {
namespace {

int PlanSlot(TonePlan plan) { return plan == TonePlan::V23 ? 1 : 0; }
int ProfileSlot(DtmfProfile profile) { return profile == DtmfProfile::kRobust ? 1 : 0; }

}  // namespace

StreamAnalysis::StreamAnalysis(const std::int16_t* samples, std::int64_t count, TrackSpan span)
    : samples_(samples), count_(count), span_(span) {}

const DtmfTrack& StreamAnalysis::Dtmf(DtmfProfile profile) {
  std::optional<DtmfTrack>& track = dtmf_[ProfileSlot(profile)];
  if (!track) {
    track = profile == DtmfProfile::kRobust ? TrackRobustDtmf(samples_, count_, span_)
                                            : TrackExactDtmf(samples_, count_, span_);
    ++detectorRuns_;
  }
  return *track;
}

const CallerIdTrack& StreamAnalysis::CallerId(TonePlan plan) {
  std::optional<CallerIdTrack>& track = callerId_[PlanSlot(plan)];
  if (!track) {
    track = RunCallerId(plan);
    ++detectorRuns_;
  }
  return *track;
}

CallerIdTrack StreamAnalysis::RunCallerId(TonePlan plan) const {
  return TrackCallerId(samples_, count_, span_, plan == TonePlan::V23 ? TonePlan::V23 : TonePlan::Bell202);
}

PlotData StreamAnalysis::Plot(const PlotRequest& request, std::string title) {
  PlotData data;
  data.title = std::move(title);
  data.grid = request.grid;
  // The demodulator is the slowest detector; when its track is still to be
  // made it runs beside the others.
  const bool callerId = request.what != PlotWhat::kDtmf;
  std::optional<CallerIdTrack>& slot = callerId_[PlanSlot(request.tonePlan)];
  std::future<CallerIdTrack> pending;
  if (callerId && !slot) {
    pending = std::async(std::launch::async, [this, &request] { return RunCallerId(request.tonePlan); });
  }
  data.waveform = BuildWaveformPanel(samples_, request.grid);
  data.spectrogram = BuildSpectrogramPanel(samples_, count_, request.grid);
  if (request.what != PlotWhat::kCallerId) data.dtmf = DtmfPanelOf(Dtmf(request.dtmfProfile), request.grid);
  if (pending.valid()) {
    slot = pending.get();
    ++detectorRuns_;
  }
  if (callerId) data.callerId = CallerIdPanelOf(*slot, request.grid);
  return data;
}

}  // namespace quorvane::plot
