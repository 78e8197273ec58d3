// Draws a plot's stacked panels with QPainter: title, waveform,
// spectrogram, DTMF and caller-ID panels on one time axis, with axes,
// units and legends. The same drawing serves PNG, SVG and the viewer.
#pragma once

#include <QSize>
#include <QString>

#include "plot/plot_data.h"
#include "plot_qt/placed_text.h"
#include "plot_qt/plot_layout.h"

class QPainter;

namespace quorvane::plot {

// `placed`, when given, learns where every title and legend went.
void PaintPlot(QPainter& painter, const PlotData& data, const QSize& size, const QString& subtitle,
               PlacedTexts* placed = nullptr);

}  // namespace quorvane::plot
