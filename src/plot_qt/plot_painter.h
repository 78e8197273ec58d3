// Draws a plot's stacked panels with QPainter: title, waveform,
// spectrogram, DTMF and caller-ID panels on one time axis, with axes,
// units and legends. The same drawing serves PNG, SVG and the viewer.
#pragma once

#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

#include "plot/plot_data.h"

class QPainter;

namespace quorvane::plot {

struct PanelLayout {
  QRect title;
  QRect waveform;
  QRect spectrogram;
  QRect dtmf;        // empty when not drawn
  QRect callerId;    // empty when not drawn
  QRect timeAxis;
  int plotLeft = 0;  // x of the first pixel column
  int plotWidth = 0; // pixel columns
};

// Where everything goes on a canvas of `size`, for the panels `data` holds.
PanelLayout LayOutPanels(const QSize& size, bool dtmf, bool callerId);

// Pixel columns the panels of a canvas of `size` have: the grid's column
// count to build the plot data with.
int PlotColumns(const QSize& size);

void PaintPlot(QPainter& painter, const PlotData& data, const QSize& size, const QString& subtitle);

}  // namespace quorvane::plot
