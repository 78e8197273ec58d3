// The zoomable panels of one recording: the wheel zooms around the pointer,
// dragging pans, and a label reads out what lies under the pointer. The
// detectors run once per stream and setting; a view only cuts its range.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot/plot_data.h"
#include "plot/stream_analysis.h"
#include "plot_qt/plot_layout.h"

class QLabel;

namespace quorvane::app {

class PlotCanvas : public QWidget {
 public:
  // `input` describes the recording for the subtitle ("raw ulaw, 8000 Hz").
  PlotCanvas(std::vector<std::int16_t> samples, std::string title, std::string input, QLabel* readout,
             QWidget* parent = nullptr);

  std::int64_t First() const { return first_; }
  std::int64_t End() const { return end_; }

  void SetTonePlan(TonePlan plan);
  void SetDtmfProfile(plot::DtmfProfile profile);
  // Which detectors are drawn, and how to move about.
  QString Subtitle() const;
  int DetectorRuns() const { return analysis_.DetectorRuns(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void SetRange(std::int64_t first, std::int64_t span);
  const plot::PlotData& Data();
  plot::PlotOutline Outline() const;
  std::int64_t SampleAt(double x) const;
  QString Readout(std::int64_t s);

  std::vector<std::int16_t> samples_;
  plot::StreamAnalysis analysis_;  // over samples_, which never move
  std::string title_;
  std::string input_;
  QLabel* readout_;
  TonePlan tonePlan_ = TonePlan::Bell202;
  plot::DtmfProfile dtmfProfile_ = plot::DtmfProfile::kExact;
  std::int64_t first_ = 0;
  std::int64_t end_;
  std::optional<plot::PlotData> view_;  // the panels of [first_, end_) at this size
  double dragX_ = 0;
  std::int64_t dragFirst_ = 0;
};

}  // namespace quorvane::app
