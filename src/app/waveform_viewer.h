// A window that shows a recording the way `quorvane plot` draws it, with
// the wheel to zoom, dragging to pan, a readout under the cursor and two
// switches: caller ID as V.23 instead of Bell 202, and the robust DTMF
// detector instead of the exact one.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

class QCheckBox;
class QLabel;

namespace quorvane::app {

class PlotCanvas;

class WaveformViewer : public QWidget {
  Q_OBJECT

 public:
  // Reads `path` (mu-law, no header) at once; a file that cannot be read
  // shows the reason instead of the panels.
  explicit WaveformViewer(const std::string& path, QWidget* parent = nullptr);

  const std::string& Path() const { return path_; }
  // The samples shown, [first, end).
  std::int64_t First() const;
  std::int64_t End() const;
  // The line under the title: the input and the detectors drawn.
  QString Subtitle() const;
  // Detector runs over the stream so far; zooming and panning add none.
  int DetectorRuns() const;

 private:
  std::string path_;
  QCheckBox* v23Box_;
  QCheckBox* robustBox_;
  PlotCanvas* canvas_;
  QLabel* readout_;
};

}  // namespace quorvane::app
