// Where the painter put each title and legend, and the room it had: what
// the layout tests check.
#pragma once

#include <QRect>
#include <QString>

#include <vector>

namespace quorvane::plot {

struct PlacedText {
  enum class Kind { kHeading, kPanelTitle, kLegend, kLegendText, kAxisTitle };
  Kind kind;
  QRect box;     // the text's extent, or a legend's frame, on the canvas
  QRect room;    // what it must lie inside: its panel, margin or legend
  QString text;  // as drawn (a legend's frame: its texts)
};

using PlacedTexts = std::vector<PlacedText>;

}  // namespace quorvane::plot
