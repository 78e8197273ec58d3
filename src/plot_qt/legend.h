// A legend: coloured swatches and names in the top right corner of a panel,
// in as many rows as its width needs.
#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

#include "plot_qt/placed_text.h"

class QPainter;

namespace quorvane::plot {

struct LegendItem {
  QColor colour;
  QString text;
  Qt::PenStyle style;
  QString brief = {};  // for narrow panels; empty: the text
};

struct LegendLayout {
  QRect box;
  int rows = 0;
  int rowHeight = 0;
  std::vector<LegendItem> items;  // with the texts drawn
  std::vector<QPoint> swatches;   // per item: left end of its swatch, on its row's middle
};

// The full texts while they take few rows for the panel's height, else the
// brief ones; `panel` may be cut down to keep clear of other legends.
LegendLayout LayOutLegend(const QFontMetrics& metrics, const QRect& panel, const std::vector<LegendItem>& items);

// Draws it; `placed`, when given, learns its frame (inside `room`) and texts.
void DrawLegend(QPainter& p, const LegendLayout& legend, const QRect& room, PlacedTexts* placed);

}  // namespace quorvane::plot
