// A window that shows a recording the way `quorvane plot` draws it, with
// the wheel to zoom, dragging to pan and a readout under the cursor.
#pragma once

#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

#include "plot/plot_data.h"

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

 private:
  std::string path_;
  PlotCanvas* canvas_;
  QLabel* readout_;
};

}  // namespace quorvane::app
